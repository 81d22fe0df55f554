# Clean-up script for pravel (key CleanupScript of [PREREQ_CHAINER]).
#
# pravel copies this script to QL_XXXX.ps1 in the temporary folder and starts
# that copy with Windows PowerShell while it exits:
#   -paths        the files and folders to remove: this script's own file,
#                 the program file and the program's folders below the
#                 clean-up folder (folders holding more than one entry are
#                 left out by pravel)
#   -retry_count  how many times to try a path that is still in use (10)
# pravel does not wait for the script and never sees its result. It runs
# hidden, as the same user as pravel, in the folder of CleanupScript.
param(
    [string[]]$paths = @(),
    [int]$retry_count = 10
)

$delaySeconds = 1
$self = $MyInvocation.MyCommand.Path

# True when the path is gone. A folder is removed only once it is empty:
# whatever someone else put into it stays.
function Remove-PathWithRetry([string]$path, [int]$tries) {
    for ($try = 1; $try -le [Math]::Max($tries, 1); $try++) {
        if (-not (Test-Path -LiteralPath $path)) { return $true }
        try {
            $item = Get-Item -LiteralPath $path -Force -ErrorAction Stop
            if ($item.PSIsContainer) {
                if (@(Get-ChildItem -LiteralPath $path -Force -ErrorAction Stop).Count -eq 0) {
                    Remove-Item -LiteralPath $path -Force -ErrorAction Stop
                }
            } else {
                # The program may still be running: the next try comes after a pause.
                $item.Attributes = $item.Attributes -band -bnot [IO.FileAttributes]::ReadOnly
                Remove-Item -LiteralPath $path -Force -ErrorAction Stop
            }
        } catch {
        }
        if (-not (Test-Path -LiteralPath $path)) { return $true }
        Start-Sleep -Seconds $delaySeconds
    }
    return $false
}

# Files first, then folders, deepest first, so that each folder is empty
# by the time its turn comes.
$files = @($paths | Where-Object { $_ -and -not (Test-Path -LiteralPath $_ -PathType Container) })
$folders = @($paths | Where-Object { $_ -and (Test-Path -LiteralPath $_ -PathType Container) } |
             Sort-Object -Property Length -Descending)

foreach ($path in $files + $folders) {
    [void](Remove-PathWithRetry $path $retry_count)
}

# The private copy in the temporary folder: nobody else removes it.
if ($self) { Remove-Item -LiteralPath $self -Force -ErrorAction SilentlyContinue }

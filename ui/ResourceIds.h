// Identifiers of pravel's dialog, icon and string resources. Shared by the
// resource script (ui/Dialogs.rc) and the code, hence plain macros.
#pragma once

// Icon shown by every window of the program.
#define IDI_PRAVEL 128

// Dialogs.
#define IDD_PREPARING 201    // modeless preparing window
#define IDD_PROGRESS 216     // modal progress window of the installation
#define IDD_CREDENTIALS 225  // user name and password for a server or proxy

// Controls of IDD_PREPARING.
#define IDC_PREPARING_STATUS 1001  // status line; the Skip button is IDCANCEL (2)

// Controls of IDD_PROGRESS.
#define IDC_PROGRESS_STATUS 1034  // status line
#define IDC_PROGRESS_BAR 1035     // progress bar; the Cancel button is IDCANCEL (2)

// Controls of IDD_CREDENTIALS (OK is IDOK, Cancel IDCANCEL).
#define IDC_CRED_USER 1061
#define IDC_CRED_PASSWORD 1062
#define IDC_CRED_REMEMBER 1063
#define IDC_CRED_EXPLANATION 1067
#define IDC_CRED_USER_LABEL 1064
#define IDC_CRED_PASSWORD_LABEL 1065

// String table.
#define IDS_INSTALLING 153                 // "Installing %s"
#define IDS_SETUP_CAPTION 161              // "%s Setup"
#define IDS_OPENING_SITE 198               // "Opening site of %s"
#define IDS_DOWNLOADING 199                // "Downloading %s"
#define IDS_REBOOT_QUESTION 216            // the reboot question
#define IDS_CONFIRMATION 217               // caption of the reboot question
#define IDS_PREPARING 220                  // "Preparing..."
#define IDS_SEARCHING 223                  // "Searching for prerequisites..."
#define IDS_CONNECT_TO 245                 // "Connect to %s"
#define IDS_CRED_EXPLANATION 246           // explanation of the credentials dialog
#define IDS_CRED_EXPLANATION_NO_REALM 247  // the same for a server that names no realm
#define IDS_OPEN_SITE_MESSAGE 248          // message about a web page to visit
#define IDS_ERROR_TITLE 249                // caption of the error report
#define IDS_DETAILS_SHOW 250               // "Details >>" of the error report
#define IDS_DETAILS_HIDE 251               // "Details <<"
#define IDS_CLOSE 252                      // "Close"
#define IDS_COPY 253                       // "Copy"
#define IDS_FAILED 254                     // status line of a failed prerequisite

#include "checker/AuthenticodeNative.h"

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/objects.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>
#include <sys/types.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "checker/Utf8.h"
#include "common/Text.h"
#include "download/Sha256.h"

namespace pravel {

namespace {

constexpr char kIndirectData[] = "1.3.6.1.4.1.311.2.1.4";     // SpcIndirectDataContent
constexpr char kNestedSignature[] = "1.3.6.1.4.1.311.2.4.1";  // szOID_NESTED_SIGNATURE
constexpr int kMaxNesting = 4;
constexpr uint16_t kPkcsSignedData = 2;  // WIN_CERT_TYPE_PKCS_SIGNED_DATA

struct Free {
    void operator()(PKCS7* p) const { PKCS7_free(p); }
    void operator()(X509_SIG* p) const { X509_SIG_free(p); }
    void operator()(BIO* p) const { BIO_free_all(p); }
    void operator()(EVP_MD_CTX* p) const { EVP_MD_CTX_free(p); }
    void operator()(ASN1_OBJECT* p) const { ASN1_OBJECT_free(p); }
    void operator()(STACK_OF(X509) * p) const { sk_X509_free(p); }
};
template <typename T>
using Owned = std::unique_ptr<T, Free>;

uint32_t Le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

bool ReadAt(FILE* file, uint64_t offset, uint8_t* buffer, size_t size) {
    return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0 &&
           std::fread(buffer, 1, size, file) == size;
}

// Where the parts of a PE file lie that its image digest covers or leaves out.
struct PeLayout {
    uint64_t fileSize = 0;
    uint32_t headersSize = 0;   // SizeOfHeaders
    uint64_t checksumAt = 0;    // the CheckSum field (4 bytes)
    uint64_t tableEntryAt = 0;  // the certificate table's directory entry (8 bytes)
    uint32_t tableOffset = 0;   // the certificate table (a file offset)
    uint32_t tableSize = 0;
    bool readable = false;  // a PE file whose optional header this code reads
    struct Section {
        uint32_t offset, size;
    };
    std::vector<Section> sections;  // with raw data, by file offset
};

const wchar_t kNotPe[] =
    L"not a Windows program (PE) file: its signature is read by pravel-check.exe only";

// The layout of `file`, or why it has none; a file that is not signed has
// a layout with an empty table.
bool ReadLayout(FILE* file, uint64_t size, PeLayout& pe, std::wstring& why) {
    pe.fileSize = size;
    uint8_t dos[64];
    if (size < sizeof dos || !ReadAt(file, 0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') {
        why = kNotPe;
        return false;
    }
    const uint64_t at = Le32(dos + 0x3C);
    uint8_t coff[24 + 2];
    if (at + sizeof coff > size || !ReadAt(file, at, coff, sizeof coff) ||
        std::memcmp(coff, "PE\0\0", 4) != 0) {
        why = kNotPe;
        return false;
    }
    const uint16_t sectionCount = Le16(coff + 6);
    const uint16_t optionalSize = Le16(coff + 20);
    const uint16_t magic = Le16(coff + 24);
    const uint64_t optional = at + 24;
    const uint64_t directories = optional + (magic == 0x20B ? 112 : 96);  // PE32+ or PE32
    std::vector<uint8_t> header(optionalSize);
    if ((magic != 0x10B && magic != 0x20B) || directories + 5 * 8 > optional + optionalSize ||
        !ReadAt(file, optional, header.data(), header.size())) {
        why = L"a PE file without a certificate table";
        return false;
    }
    pe.readable = true;
    const uint8_t* h = header.data();
    pe.headersSize = Le32(h + 60);
    pe.checksumAt = optional + 64;
    if (Le32(h + (directories - optional) - 4) < 5) return true;  // NumberOfRvaAndSizes: no table
    pe.tableEntryAt = directories + 4 * 8;
    pe.tableOffset = Le32(h + (pe.tableEntryAt - optional));
    pe.tableSize = Le32(h + (pe.tableEntryAt - optional) + 4);
    if (pe.tableOffset == 0 || pe.tableSize == 0) {
        pe.tableSize = 0;
        return true;  // not signed
    }
    if (static_cast<uint64_t>(pe.tableOffset) + pe.tableSize > size) {
        why = L"its certificate table lies outside the file";
        return false;
    }
    const uint64_t table = optional + optionalSize;
    std::vector<uint8_t> entries(static_cast<size_t>(sectionCount) * 40);
    if (table + entries.size() > size || !ReadAt(file, table, entries.data(), entries.size())) {
        why = L"its section table lies outside the file";
        return false;
    }
    for (uint16_t i = 0; i < sectionCount; ++i) {
        const PeLayout::Section section{Le32(&entries[i * 40 + 20]), Le32(&entries[i * 40 + 16])};
        if (section.size != 0) pe.sections.push_back(section);
    }
    std::stable_sort(pe.sections.begin(), pe.sections.end(),
                     [](const auto& a, const auto& b) { return a.offset < b.offset; });
    return true;
}

// Adds `length` bytes from `offset` to the digest; false when the file ends before.
bool HashRange(FILE* file, EVP_MD_CTX* context, uint64_t offset, uint64_t length) {
    if (::fseeko(file, static_cast<off_t>(offset), SEEK_SET) != 0) return false;
    std::vector<uint8_t> block(65536);
    while (length > 0) {
        const size_t want = length < block.size() ? static_cast<size_t>(length) : block.size();
        if (std::fread(block.data(), 1, want, file) != want) return false;
        EVP_DigestUpdate(context, block.data(), want);
        length -= want;
    }
    return true;
}

// The image digest of the file with `md`, or why it cannot be computed.
bool ImageDigest(FILE* file, const PeLayout& pe, const EVP_MD* md, std::vector<uint8_t>& digest,
                 std::wstring& why) {
    if (pe.headersSize > pe.fileSize || pe.checksumAt + 4 > pe.headersSize ||
        pe.tableEntryAt + 8 > pe.headersSize || pe.tableEntryAt < pe.checksumAt + 4) {
        why = L"its headers are not laid out as the image digest needs them";
        return false;
    }
    // The sections of a valid file do not overlap: more than the file's size
    // in all (a file crafted to be hashed over and over) does not verify.
    uint64_t hashed = pe.headersSize;
    bool inside = true;
    for (const PeLayout::Section& section : pe.sections) {
        inside = inside && static_cast<uint64_t>(section.offset) + section.size <= pe.fileSize;
        hashed += section.size;
    }
    if (!inside || hashed > pe.fileSize) {
        why = L"its sections overlap or lie outside the file";
        return false;
    }
    Owned<EVP_MD_CTX> context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), md, nullptr) != 1) {
        why = L"the digest cannot be computed";
        return false;
    }
    EVP_MD_CTX* c = context.get();
    bool read = HashRange(file, c, 0, pe.checksumAt) &&
                HashRange(file, c, pe.checksumAt + 4, pe.tableEntryAt - pe.checksumAt - 4) &&
                HashRange(file, c, pe.tableEntryAt + 8, pe.headersSize - pe.tableEntryAt - 8);
    for (const PeLayout::Section& section : pe.sections) {
        read = read && HashRange(file, c, section.offset, section.size);
    }
    // The data after the sections, up to the certificate table.
    if (read && pe.fileSize > hashed + pe.tableSize) {
        read = HashRange(file, c, hashed, pe.fileSize - pe.tableSize - hashed);
    }
    if (!read) {
        why = L"the file cannot be read";
        return false;
    }
    digest.resize(static_cast<size_t>(EVP_MD_get_size(md)));
    unsigned int length = 0;
    EVP_DigestFinal_ex(c, digest.data(), &length);
    digest.resize(length);
    return true;
}

// The certificate's simple display name, as Windows shows it: the first of
// common name, organisational unit, organisation and e-mail address.
std::wstring SimpleDisplayName(X509* certificate) {
    X509_NAME* subject = X509_get_subject_name(certificate);
    for (int nid : {NID_commonName, NID_organizationalUnitName, NID_organizationName,
                    NID_pkcs9_emailAddress}) {
        const int at = X509_NAME_get_index_by_NID(subject, nid, -1);
        if (at < 0) continue;
        unsigned char* utf8 = nullptr;
        const int length =
            ASN1_STRING_to_UTF8(&utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, at)));
        if (length < 0) continue;
        const std::wstring name = Utf16FromUtf8(std::string(reinterpret_cast<char*>(utf8), length));
        OPENSSL_free(utf8);
        return name;
    }
    return std::wstring();
}

std::wstring KeyDigest(X509* certificate) {
    unsigned char* key = nullptr;
    const int length = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(certificate), &key);
    if (length <= 0) return std::wstring();
    Sha256 sha;
    sha.Update(key, static_cast<size_t>(length));
    uint8_t digest[32];
    sha.Final(digest);
    OPENSSL_free(key);
    return Sha256::ToHex(digest);
}

// OpenSSL's reason for the last failure ("signature failure").
std::wstring LastError() {
    const unsigned long code = ERR_peek_last_error();
    const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    ERR_clear_error();
    return Utf16FromUtf8(reason != nullptr ? reason : "unknown error");
}

class Verifier {
  public:
    Verifier(FILE* file, const PeLayout& pe)
        : file_(file),
          pe_(pe),
          indirectData_(OBJ_txt2obj(kIndirectData, 1)),
          nested_(OBJ_txt2obj(kNestedSignature, 1)) {}

    // Verifies the signature `der` and those nested in it, in that order.
    void Verify(const uint8_t* der, size_t length, int depth, AuthenticodeFindings& out);

  private:
    // Compares the image digest with the one the signature's content signs;
    // sets `content` to the DER content that the signer's signature covers.
    bool CheckDigest(PKCS7* message, std::wstring& why, const uint8_t*& content, long& contentSize);
    const std::vector<uint8_t>* Digest(const EVP_MD* md, std::wstring& why);

    FILE* file_;
    const PeLayout& pe_;
    Owned<ASN1_OBJECT> indirectData_;
    Owned<ASN1_OBJECT> nested_;
    std::map<int, std::vector<uint8_t>> digests_;  // by digest type
};

const std::vector<uint8_t>* Verifier::Digest(const EVP_MD* md, std::wstring& why) {
    const int type = EVP_MD_get_type(md);
    auto found = digests_.find(type);
    if (found != digests_.end()) return &found->second;
    std::vector<uint8_t> digest;
    if (!ImageDigest(file_, pe_, md, digest, why)) return nullptr;
    return &(digests_[type] = std::move(digest));
}

bool Verifier::CheckDigest(PKCS7* message, std::wstring& why, const uint8_t*& content,
                           long& contentSize) {
    PKCS7* inner = message->d.sign->contents;
    if (inner == nullptr || inner->type == nullptr || OBJ_cmp(inner->type, indirectData_.get()) ||
        inner->d.other == nullptr || inner->d.other->type != V_ASN1_SEQUENCE) {
        why = L"it signs no program image (no SpcIndirectDataContent)";
        return false;
    }
    // SpcIndirectDataContent ::= SEQUENCE { data SpcAttributeTypeAndOptionalValue,
    //                                       messageDigest DigestInfo }
    const ASN1_STRING* sequence = inner->d.other->value.sequence;
    const unsigned char* cursor = sequence->data;
    long length = 0, memberLength = 0;
    int tag = 0, kind = 0;
    const int form = ASN1_get_object(&cursor, &length, &tag, &kind, sequence->length);
    const unsigned char* member = cursor;
    const int memberForm =
        (form & 0x80) == 0 && form == V_ASN1_CONSTRUCTED && tag == V_ASN1_SEQUENCE
            ? ASN1_get_object(&member, &memberLength, &tag, &kind, length)
            : 0x80;
    // Definite lengths that lie inside the content (ASN1_get_object sets 0x80
    // for a length beyond its limit, 0x01 for an indefinite one).
    if ((memberForm & 0x81) != 0) {
        ERR_clear_error();
        why = L"its SpcIndirectDataContent cannot be read";
        return false;
    }
    const unsigned char* end = cursor + length;
    content = cursor;  // the signer signs the content without its tag and length
    contentSize = length;
    const unsigned char* info = member + memberLength;
    Owned<X509_SIG> digestInfo(d2i_X509_SIG(nullptr, &info, end - info));
    if (!digestInfo) {
        why = L"its SpcIndirectDataContent holds no digest";
        return false;
    }
    const X509_ALGOR* algorithm = nullptr;
    const ASN1_OCTET_STRING* signedDigest = nullptr;
    X509_SIG_get0(digestInfo.get(), &algorithm, &signedDigest);
    const ASN1_OBJECT* oid = nullptr;
    X509_ALGOR_get0(&oid, nullptr, nullptr, algorithm);
    const EVP_MD* md = EVP_get_digestbyobj(oid);
    if (md == nullptr) {
        char name[80] = {};
        OBJ_obj2txt(name, sizeof name, oid, 0);
        why = L"its digest algorithm " + Utf16FromUtf8(name) + L" is not known here";
        return false;
    }
    const std::vector<uint8_t>* digest = Digest(md, why);
    if (digest == nullptr) return false;
    const std::wstring mdName = Utf16FromUtf8(OBJ_nid2sn(EVP_MD_get_type(md)));
    if (static_cast<size_t>(ASN1_STRING_length(signedDigest)) != digest->size() ||
        std::memcmp(ASN1_STRING_get0_data(signedDigest), digest->data(), digest->size()) != 0) {
        why = L"the file's image digest (" + mdName + L" " +
              LowerHex(digest->data(), digest->size()) + L") is not the signed one (" +
              LowerHex(ASN1_STRING_get0_data(signedDigest),
                       static_cast<size_t>(ASN1_STRING_length(signedDigest))) +
              L"): the file was changed after it was signed";
        return false;
    }
    return true;
}

void Verifier::Verify(const uint8_t* der, size_t length, int depth, AuthenticodeFindings& out) {
    AuthenticodeSignature found;
    found.nested = depth > 0;
    const unsigned char* cursor = der;
    Owned<PKCS7> message(d2i_PKCS7(nullptr, &cursor, static_cast<long>(length)));
    if (!message || !PKCS7_type_is_signed(message.get()) || message->d.sign == nullptr) {
        ERR_clear_error();
        found.problem = L"it is not a PKCS#7 signed message";
        out.signatures.push_back(std::move(found));
        return;
    }
    Owned<STACK_OF(X509)> signers(PKCS7_get0_signers(message.get(), nullptr, 0));
    X509* signer =
        signers && sk_X509_num(signers.get()) > 0 ? sk_X509_value(signers.get(), 0) : nullptr;
    const uint8_t* content = nullptr;
    long contentSize = 0;
    if (signer == nullptr) {
        ERR_clear_error();
        found.problem = L"it names no signer certificate";
    } else {
        found.signer = SimpleDisplayName(signer);
        found.signerKey = KeyDigest(signer);
        if (CheckDigest(message.get(), found.problem, content, contentSize)) {
            // The signer's signature over the content, with the key of the
            // certificate it carries; no chain is built (PKCS7_NOVERIFY).
            // The content is read through a buffering filter: PKCS7_verify
            // copies a memory BIO into one of its own, which OpenSSL 3.0
            // leaks when the message's digests cannot be set up (found by
            // fuzzing); any other BIO it reads as it is.
            Owned<BIO> memory(BIO_new_mem_buf(content, static_cast<int>(contentSize)));
            Owned<BIO> data(memory ? BIO_new(BIO_f_buffer()) : nullptr);
            if (data) BIO_push(data.get(), memory.release());
            ERR_clear_error();
            found.verifies = data && PKCS7_verify(message.get(), nullptr, nullptr, data.get(),
                                                  nullptr, PKCS7_NOVERIFY | PKCS7_BINARY) == 1;
            if (!found.verifies) {
                found.problem = L"the signer's signature does not verify: " + LastError();
            }
        }
    }
    out.signatures.push_back(std::move(found));

    if (depth >= kMaxNesting) return;
    STACK_OF(PKCS7_SIGNER_INFO)* infos = PKCS7_get_signer_info(message.get());
    for (int i = 0; infos != nullptr && i < sk_PKCS7_SIGNER_INFO_num(infos); ++i) {
        STACK_OF(X509_ATTRIBUTE)* attributes = sk_PKCS7_SIGNER_INFO_value(infos, i)->unauth_attr;
        for (int a = 0; a < X509at_get_attr_count(attributes); ++a) {
            X509_ATTRIBUTE* attribute = X509at_get_attr(attributes, a);
            if (OBJ_cmp(X509_ATTRIBUTE_get0_object(attribute), nested_.get()) != 0) continue;
            for (int v = 0; v < X509_ATTRIBUTE_count(attribute); ++v) {
                const ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(attribute, v);
                if (value == nullptr || value->type != V_ASN1_SEQUENCE) continue;
                Verify(value->value.sequence->data,
                       static_cast<size_t>(value->value.sequence->length), depth + 1, out);
            }
        }
    }
}

}  // namespace

AuthenticodeFindings VerifyAuthenticode(FILE* file, uint64_t size) {
    AuthenticodeFindings findings;
    PeLayout pe;
    std::wstring why;
    // A program whose table or sections cannot be read has a signature that
    // does not verify; a file that is no program is not read at all.
    auto broken = [&findings](const std::wstring& problem) {
        findings.signatures.push_back(AuthenticodeSignature{false, L"", L"", false, problem});
        return findings;
    };
    if (!ReadLayout(file, size, pe, why)) {
        if (!pe.readable) findings.unread = why;
        return pe.readable ? broken(why) : findings;
    }
    if (pe.tableSize == 0) return findings;
    std::vector<uint8_t> table(pe.tableSize);
    if (!ReadAt(file, pe.tableOffset, table.data(), table.size())) {
        return broken(L"its certificate table cannot be read");
    }
    Verifier verifier(file, pe);
    // WIN_CERTIFICATE entries: length (header included), revision, type,
    // then the certificate; each entry starts on an 8-byte boundary.
    for (size_t at = 0; at + 8 <= table.size();) {
        const uint32_t length = Le32(&table[at]);
        if (length < 8 || length > table.size() - at) {
            if (findings.signatures.empty()) broken(L"its certificate table is damaged");
            break;
        }
        if (Le16(&table[at + 6]) == kPkcsSignedData) {
            verifier.Verify(&table[at + 8], length - 8, 0, findings);
        }
        at += (static_cast<size_t>(length) + 7) & ~static_cast<size_t>(7);
    }
    return findings.signatures.empty() ? broken(L"its certificate table holds no PKCS#7 signature")
                                       : findings;
}

}  // namespace pravel

// Adds a test certificate authority to, or removes it from, the machine's Root store, so that
// the Wine prefix that runs this program trusts the certificates a test signed with it.
//
//   trust_test_ca add|remove AUTHORITY.der
//
// Ends with 0 on success; prints what failed and ends with 1 otherwise.

#include <windows.h>
#include <wincrypt.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> readFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int fail(const char* what)
{
    std::fprintf(stderr, "trust_test_ca: %s (error %lu)\n", what, GetLastError());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const bool add = argc == 3 && std::strcmp(argv[1], "add") == 0;
    const bool remove = argc == 3 && std::strcmp(argv[1], "remove") == 0;
    if (!add && !remove) {
        std::fputs("usage: trust_test_ca add|remove AUTHORITY.der\n", stderr);
        return 2;
    }
    const std::vector<unsigned char> der = readFile(argv[2]);
    if (der.empty()) {
        return fail("cannot read the certificate");
    }
    HCERTSTORE root = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (root == nullptr) {
        return fail("cannot open the Root store");
    }
    int result = 0;
    if (add) {
        if (!CertAddEncodedCertificateToStore(root, X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
                                              CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
            result = fail("cannot add the certificate");
        }
    } else {
        PCCERT_CONTEXT given =
            CertCreateCertificateContext(X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()));
        PCCERT_CONTEXT stored =
            given != nullptr
                ? CertFindCertificateInStore(root, X509_ASN_ENCODING, 0, CERT_FIND_EXISTING, given, nullptr)
                : nullptr;
        // Deleting frees the context it is given.
        if (stored != nullptr && !CertDeleteCertificateFromStore(stored)) {
            result = fail("cannot remove the certificate");
        }
        if (given != nullptr) {
            CertFreeCertificateContext(given);
        }
    }
    CertCloseStore(root, 0);
    return result;
}

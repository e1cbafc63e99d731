#include "crash/ui/delivery/win/net_library.h"

#include <mutex>

namespace ostrel::delivery::net {

namespace {

struct Winsock {
  bool loaded = false;
  decltype(&::WSAStartup) WSAStartup = nullptr;
  decltype(&::WSACleanup) WSACleanup = nullptr;
  decltype(&::WSAGetLastError) WSAGetLastError = nullptr;
  decltype(&::socket) socket = nullptr;
  decltype(&::closesocket) closesocket = nullptr;
  decltype(&::connect) connect = nullptr;
  decltype(&::getsockopt) getsockopt = nullptr;
  decltype(&::ioctlsocket) ioctlsocket = nullptr;
  decltype(&::recv) recv = nullptr;
  decltype(&::send) send = nullptr;
  decltype(&::select) select = nullptr;
  decltype(&::GetAddrInfoW) GetAddrInfoW = nullptr;
  decltype(&::FreeAddrInfoW) FreeAddrInfoW = nullptr;
};

const Winsock& LoadWinsock() {
  static Winsock api;
  static std::once_flag once;
  std::call_once(once, [] {
    HMODULE library = LoadLibraryW(L"ws2_32.dll");
    if (!library) return;
    bool all = true;
    all &= (api.WSAStartup = reinterpret_cast<decltype(api.WSAStartup)>(
                reinterpret_cast<void*>(GetProcAddress(library, "WSAStartup")))) != nullptr;
    all &= (api.WSACleanup = reinterpret_cast<decltype(api.WSACleanup)>(
                reinterpret_cast<void*>(GetProcAddress(library, "WSACleanup")))) != nullptr;
    all &= (api.WSAGetLastError = reinterpret_cast<decltype(api.WSAGetLastError)>(
                reinterpret_cast<void*>(GetProcAddress(library, "WSAGetLastError")))) != nullptr;
    all &= (api.socket = reinterpret_cast<decltype(api.socket)>(
                reinterpret_cast<void*>(GetProcAddress(library, "socket")))) != nullptr;
    all &= (api.closesocket = reinterpret_cast<decltype(api.closesocket)>(
                reinterpret_cast<void*>(GetProcAddress(library, "closesocket")))) != nullptr;
    all &= (api.connect = reinterpret_cast<decltype(api.connect)>(
                reinterpret_cast<void*>(GetProcAddress(library, "connect")))) != nullptr;
    all &= (api.getsockopt = reinterpret_cast<decltype(api.getsockopt)>(
                reinterpret_cast<void*>(GetProcAddress(library, "getsockopt")))) != nullptr;
    all &= (api.ioctlsocket = reinterpret_cast<decltype(api.ioctlsocket)>(
                reinterpret_cast<void*>(GetProcAddress(library, "ioctlsocket")))) != nullptr;
    all &= (api.recv = reinterpret_cast<decltype(api.recv)>(
                reinterpret_cast<void*>(GetProcAddress(library, "recv")))) != nullptr;
    all &= (api.send = reinterpret_cast<decltype(api.send)>(
                reinterpret_cast<void*>(GetProcAddress(library, "send")))) != nullptr;
    all &= (api.select = reinterpret_cast<decltype(api.select)>(
                reinterpret_cast<void*>(GetProcAddress(library, "select")))) != nullptr;
    all &= (api.GetAddrInfoW = reinterpret_cast<decltype(api.GetAddrInfoW)>(
                reinterpret_cast<void*>(GetProcAddress(library, "GetAddrInfoW")))) != nullptr;
    all &= (api.FreeAddrInfoW = reinterpret_cast<decltype(api.FreeAddrInfoW)>(
                reinterpret_cast<void*>(GetProcAddress(library, "FreeAddrInfoW")))) != nullptr;
    api.loaded = all;
  });
  return api;
}

struct Sspi {
  bool loaded = false;
  decltype(&::AcquireCredentialsHandleW) AcquireCredentialsHandleW = nullptr;
  decltype(&::FreeCredentialsHandle) FreeCredentialsHandle = nullptr;
  decltype(&::InitializeSecurityContextW) InitializeSecurityContextW = nullptr;
  decltype(&::DeleteSecurityContext) DeleteSecurityContext = nullptr;
  decltype(&::ApplyControlToken) ApplyControlToken = nullptr;
  decltype(&::QueryContextAttributesW) QueryContextAttributesW = nullptr;
  decltype(&::EncryptMessage) EncryptMessage = nullptr;
  decltype(&::DecryptMessage) DecryptMessage = nullptr;
  decltype(&::FreeContextBuffer) FreeContextBuffer = nullptr;
};

const Sspi& LoadSspi() {
  static Sspi api;
  static std::once_flag once;
  std::call_once(once, [] {
    HMODULE library = LoadLibraryW(L"secur32.dll");
    if (!library) return;
    bool all = true;
    all &= (api.AcquireCredentialsHandleW =
                reinterpret_cast<decltype(api.AcquireCredentialsHandleW)>(reinterpret_cast<void*>(
                    GetProcAddress(library, "AcquireCredentialsHandleW")))) != nullptr;
    all &=
        (api.FreeCredentialsHandle = reinterpret_cast<decltype(api.FreeCredentialsHandle)>(
             reinterpret_cast<void*>(GetProcAddress(library, "FreeCredentialsHandle")))) != nullptr;
    all &= (api.InitializeSecurityContextW =
                reinterpret_cast<decltype(api.InitializeSecurityContextW)>(reinterpret_cast<void*>(
                    GetProcAddress(library, "InitializeSecurityContextW")))) != nullptr;
    all &=
        (api.DeleteSecurityContext = reinterpret_cast<decltype(api.DeleteSecurityContext)>(
             reinterpret_cast<void*>(GetProcAddress(library, "DeleteSecurityContext")))) != nullptr;
    all &= (api.ApplyControlToken = reinterpret_cast<decltype(api.ApplyControlToken)>(
                reinterpret_cast<void*>(GetProcAddress(library, "ApplyControlToken")))) != nullptr;
    all &= (api.QueryContextAttributesW = reinterpret_cast<decltype(api.QueryContextAttributesW)>(
                reinterpret_cast<void*>(GetProcAddress(library, "QueryContextAttributesW")))) !=
           nullptr;
    all &= (api.EncryptMessage = reinterpret_cast<decltype(api.EncryptMessage)>(
                reinterpret_cast<void*>(GetProcAddress(library, "EncryptMessage")))) != nullptr;
    all &= (api.DecryptMessage = reinterpret_cast<decltype(api.DecryptMessage)>(
                reinterpret_cast<void*>(GetProcAddress(library, "DecryptMessage")))) != nullptr;
    all &= (api.FreeContextBuffer = reinterpret_cast<decltype(api.FreeContextBuffer)>(
                reinterpret_cast<void*>(GetProcAddress(library, "FreeContextBuffer")))) != nullptr;
    api.loaded = all;
  });
  return api;
}

struct Certs {
  bool loaded = false;
  decltype(&::CertGetCertificateChain) CertGetCertificateChain = nullptr;
  decltype(&::CertFreeCertificateChain) CertFreeCertificateChain = nullptr;
  decltype(&::CertFreeCertificateContext) CertFreeCertificateContext = nullptr;
  decltype(&::CertVerifyCertificateChainPolicy) CertVerifyCertificateChainPolicy = nullptr;
};

const Certs& LoadCerts() {
  static Certs api;
  static std::once_flag once;
  std::call_once(once, [] {
    HMODULE library = LoadLibraryW(L"crypt32.dll");
    if (!library) return;
    bool all = true;
    all &= (api.CertGetCertificateChain = reinterpret_cast<decltype(api.CertGetCertificateChain)>(
                reinterpret_cast<void*>(GetProcAddress(library, "CertGetCertificateChain")))) !=
           nullptr;
    all &= (api.CertFreeCertificateChain = reinterpret_cast<decltype(api.CertFreeCertificateChain)>(
                reinterpret_cast<void*>(GetProcAddress(library, "CertFreeCertificateChain")))) !=
           nullptr;
    all &= (api.CertFreeCertificateContext =
                reinterpret_cast<decltype(api.CertFreeCertificateContext)>(reinterpret_cast<void*>(
                    GetProcAddress(library, "CertFreeCertificateContext")))) != nullptr;
    all &= (api.CertVerifyCertificateChainPolicy =
                reinterpret_cast<decltype(api.CertVerifyCertificateChainPolicy)>(
                    reinterpret_cast<void*>(
                        GetProcAddress(library, "CertVerifyCertificateChainPolicy")))) != nullptr;
    api.loaded = all;
  });
  return api;
}

}  // namespace

bool WinsockAvailable() { return LoadWinsock().loaded; }

int WSAStartup(WORD version, WSADATA* data) {
  const Winsock& api = LoadWinsock();
  return api.loaded ? api.WSAStartup(version, data) : WSASYSNOTREADY;
}

int WSACleanup() {
  const Winsock& api = LoadWinsock();
  if (!api.loaded) {
    SetLastError(WSASYSNOTREADY);
    return SOCKET_ERROR;
  }
  return api.WSACleanup();
}

int WSAGetLastError() {
  const Winsock& api = LoadWinsock();
  return api.loaded ? api.WSAGetLastError() : GetLastError();
}

SOCKET socket(int af, int type, int protocol) {
  const Winsock& api = LoadWinsock();
  if (!api.loaded) {
    SetLastError(WSASYSNOTREADY);
    return INVALID_SOCKET;
  }
  return api.socket(af, type, protocol);
}

int closesocket(SOCKET s) {
  const Winsock& api = LoadWinsock();
  if (!api.loaded) {
    SetLastError(WSASYSNOTREADY);
    return SOCKET_ERROR;
  }
  return api.closesocket(s);
}

int connect(SOCKET s, const sockaddr* name, int length) {
  const Winsock& api = LoadWinsock();
  if (!api.loaded) {
    SetLastError(WSASYSNOTREADY);
    return SOCKET_ERROR;
  }
  return api.connect(s, name, length);
}

int getsockopt(SOCKET s, int level, int name, char* value, int* length) {
  const Winsock& api = LoadWinsock();
  if (!api.loaded) {
    SetLastError(WSASYSNOTREADY);
    return SOCKET_ERROR;
  }
  return api.getsockopt(s, level, name, value, length);
}

int ioctlsocket(SOCKET s, long command, u_long* argument) {
  const Winsock& api = LoadWinsock();
  if (!api.loaded) {
    SetLastError(WSASYSNOTREADY);
    return SOCKET_ERROR;
  }
  return api.ioctlsocket(s, command, argument);
}

int recv(SOCKET s, char* buffer, int length, int flags) {
  const Winsock& api = LoadWinsock();
  if (!api.loaded) {
    SetLastError(WSASYSNOTREADY);
    return SOCKET_ERROR;
  }
  return api.recv(s, buffer, length, flags);
}

int send(SOCKET s, const char* buffer, int length, int flags) {
  const Winsock& api = LoadWinsock();
  if (!api.loaded) {
    SetLastError(WSASYSNOTREADY);
    return SOCKET_ERROR;
  }
  return api.send(s, buffer, length, flags);
}

int select(int n, fd_set* read, fd_set* write, fd_set* except, timeval* timeout) {
  const Winsock& api = LoadWinsock();
  if (!api.loaded) {
    SetLastError(WSASYSNOTREADY);
    return SOCKET_ERROR;
  }
  return api.select(n, read, write, except, timeout);
}

INT GetAddrInfoW(PCWSTR node, PCWSTR service, const ADDRINFOW* hints, PADDRINFOW* result) {
  const Winsock& api = LoadWinsock();
  return api.loaded ? api.GetAddrInfoW(node, service, hints, result) : WSASYSNOTREADY;
}

void FreeAddrInfoW(PADDRINFOW info) {
  const Winsock& api = LoadWinsock();
  if (api.loaded) api.FreeAddrInfoW(info);
}

SECURITY_STATUS AcquireCredentialsHandleW(LPWSTR principal, LPWSTR package, unsigned long use,
                                          void* logonId, void* authData, SEC_GET_KEY_FN getKey,
                                          void* getKeyArgument, PCredHandle credential,
                                          PTimeStamp expiry) {
  const Sspi& api = LoadSspi();
  return api.loaded ? api.AcquireCredentialsHandleW(principal, package, use, logonId, authData,
                                                    getKey, getKeyArgument, credential, expiry)
                    : SEC_E_SECPKG_NOT_FOUND;
}

SECURITY_STATUS FreeCredentialsHandle(PCredHandle credential) {
  const Sspi& api = LoadSspi();
  return api.loaded ? api.FreeCredentialsHandle(credential) : SEC_E_SECPKG_NOT_FOUND;
}

SECURITY_STATUS InitializeSecurityContextW(PCredHandle credential, PCtxtHandle context,
                                           SEC_WCHAR* target, unsigned long requirements,
                                           unsigned long reserved1, unsigned long representation,
                                           PSecBufferDesc input, unsigned long reserved2,
                                           PCtxtHandle newContext, PSecBufferDesc output,
                                           unsigned long* attributes, PTimeStamp expiry) {
  const Sspi& api = LoadSspi();
  return api.loaded ? api.InitializeSecurityContextW(credential, context, target, requirements,
                                                     reserved1, representation, input, reserved2,
                                                     newContext, output, attributes, expiry)
                    : SEC_E_SECPKG_NOT_FOUND;
}

SECURITY_STATUS DeleteSecurityContext(PCtxtHandle context) {
  const Sspi& api = LoadSspi();
  return api.loaded ? api.DeleteSecurityContext(context) : SEC_E_SECPKG_NOT_FOUND;
}

SECURITY_STATUS ApplyControlToken(PCtxtHandle context, PSecBufferDesc input) {
  const Sspi& api = LoadSspi();
  return api.loaded ? api.ApplyControlToken(context, input) : SEC_E_SECPKG_NOT_FOUND;
}

SECURITY_STATUS QueryContextAttributesW(PCtxtHandle context, unsigned long attribute,
                                        void* buffer) {
  const Sspi& api = LoadSspi();
  return api.loaded ? api.QueryContextAttributesW(context, attribute, buffer)
                    : SEC_E_SECPKG_NOT_FOUND;
}

SECURITY_STATUS EncryptMessage(PCtxtHandle context, unsigned long quality, PSecBufferDesc message,
                               unsigned long sequence) {
  const Sspi& api = LoadSspi();
  return api.loaded ? api.EncryptMessage(context, quality, message, sequence)
                    : SEC_E_SECPKG_NOT_FOUND;
}

SECURITY_STATUS DecryptMessage(PCtxtHandle context, PSecBufferDesc message, unsigned long sequence,
                               unsigned long* quality) {
  const Sspi& api = LoadSspi();
  return api.loaded ? api.DecryptMessage(context, message, sequence, quality)
                    : SEC_E_SECPKG_NOT_FOUND;
}

SECURITY_STATUS FreeContextBuffer(void* buffer) {
  const Sspi& api = LoadSspi();
  return api.loaded ? api.FreeContextBuffer(buffer) : SEC_E_SECPKG_NOT_FOUND;
}

BOOL CertGetCertificateChain(HCERTCHAINENGINE engine, PCCERT_CONTEXT context, LPFILETIME time,
                             HCERTSTORE additional, PCERT_CHAIN_PARA para, DWORD flags,
                             LPVOID reserved, PCCERT_CHAIN_CONTEXT* chain) {
  const Certs& api = LoadCerts();
  return api.loaded ? api.CertGetCertificateChain(engine, context, time, additional, para, flags,
                                                  reserved, chain)
                    : FALSE;
}

void CertFreeCertificateChain(PCCERT_CHAIN_CONTEXT chain) {
  const Certs& api = LoadCerts();
  if (api.loaded) api.CertFreeCertificateChain(chain);
}

BOOL CertFreeCertificateContext(PCCERT_CONTEXT context) {
  const Certs& api = LoadCerts();
  return api.loaded ? api.CertFreeCertificateContext(context) : FALSE;
}

BOOL CertVerifyCertificateChainPolicy(LPCSTR policy, PCCERT_CHAIN_CONTEXT chain,
                                      PCERT_CHAIN_POLICY_PARA para,
                                      PCERT_CHAIN_POLICY_STATUS status) {
  const Certs& api = LoadCerts();
  return api.loaded ? api.CertVerifyCertificateChainPolicy(policy, chain, para, status) : FALSE;
}

}  // namespace ostrel::delivery::net

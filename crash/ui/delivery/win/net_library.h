#pragma once
// Winsock, Schannel and the certificate functions, loaded by name when a
// delivery first needs them. A program that links the reporter must not
// import them: their start-up would run inside the reporter's own early
// start, and a process that never sends never pays for them.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
#include <security.h>
#include <wincrypt.h>

namespace ostrel::delivery::net {

// False when a library or one of its functions is missing; every function
// below then fails as its library would (a socket error, an SSPI error,
// FALSE).
bool WinsockAvailable();

int WSAStartup(WORD version, WSADATA* data);
int WSACleanup();
int WSAGetLastError();
SOCKET socket(int af, int type, int protocol);
int closesocket(SOCKET s);
int connect(SOCKET s, const sockaddr* name, int length);
int getsockopt(SOCKET s, int level, int name, char* value, int* length);
int ioctlsocket(SOCKET s, long command, u_long* argument);
int recv(SOCKET s, char* buffer, int length, int flags);
int send(SOCKET s, const char* buffer, int length, int flags);
int select(int n, fd_set* read, fd_set* write, fd_set* except, timeval* timeout);
INT GetAddrInfoW(PCWSTR node, PCWSTR service, const ADDRINFOW* hints, PADDRINFOW* result);
void FreeAddrInfoW(PADDRINFOW info);

SECURITY_STATUS AcquireCredentialsHandleW(LPWSTR principal, LPWSTR package, unsigned long use,
                                          void* logonId, void* authData, SEC_GET_KEY_FN getKey,
                                          void* getKeyArgument, PCredHandle credential,
                                          PTimeStamp expiry);
SECURITY_STATUS FreeCredentialsHandle(PCredHandle credential);
SECURITY_STATUS InitializeSecurityContextW(PCredHandle credential, PCtxtHandle context,
                                           SEC_WCHAR* target, unsigned long requirements,
                                           unsigned long reserved1, unsigned long representation,
                                           PSecBufferDesc input, unsigned long reserved2,
                                           PCtxtHandle newContext, PSecBufferDesc output,
                                           unsigned long* attributes, PTimeStamp expiry);
SECURITY_STATUS DeleteSecurityContext(PCtxtHandle context);
SECURITY_STATUS ApplyControlToken(PCtxtHandle context, PSecBufferDesc input);
SECURITY_STATUS QueryContextAttributesW(PCtxtHandle context, unsigned long attribute, void* buffer);
SECURITY_STATUS EncryptMessage(PCtxtHandle context, unsigned long quality, PSecBufferDesc message,
                               unsigned long sequence);
SECURITY_STATUS DecryptMessage(PCtxtHandle context, PSecBufferDesc message, unsigned long sequence,
                               unsigned long* quality);
SECURITY_STATUS FreeContextBuffer(void* buffer);

BOOL CertGetCertificateChain(HCERTCHAINENGINE engine, PCCERT_CONTEXT context, LPFILETIME time,
                             HCERTSTORE additional, PCERT_CHAIN_PARA para, DWORD flags,
                             LPVOID reserved, PCCERT_CHAIN_CONTEXT* chain);
void CertFreeCertificateChain(PCCERT_CHAIN_CONTEXT chain);
BOOL CertFreeCertificateContext(PCCERT_CONTEXT context);
BOOL CertVerifyCertificateChainPolicy(LPCSTR policy, PCCERT_CHAIN_CONTEXT chain,
                                      PCERT_CHAIN_POLICY_PARA para,
                                      PCERT_CHAIN_POLICY_STATUS status);

}  // namespace ostrel::delivery::net

// The zoo's Simple MAPI provider, found beside the zoo's programs as
// "mapi32.dll": keeps each message in "mapi_outbox.txt" and a copy of each
// attached file as "mapi_outbox_<name>". A file "mapi_answer.txt" beside it
// holds the answer to give: "cancel" (the user closed the compose window)
// or "fail"; without it, the message is taken.
#include <windows.h>
#include <mapi.h>

#include <cstdio>
#include <string>

namespace {

std::string Folder() {
  HMODULE self = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCSTR>(&Folder), &self);
  char path[MAX_PATH] = {};
  GetModuleFileNameA(self, path, MAX_PATH);
  std::string folder = path;
  return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string Answer() {
  std::string answer;
  if (std::FILE* f = std::fopen((Folder() + "mapi_answer.txt").c_str(), "rb")) {
    char text[32] = {};
    answer.assign(text, std::fread(text, 1, sizeof text - 1, f));
    std::fclose(f);
  }
  return answer;
}

}  // namespace

extern "C" ULONG WINAPI MAPISendMail(LHANDLE, ULONG_PTR, lpMapiMessage message, FLAGS flags,
                                     ULONG) {
  const std::string answer = Answer();
  if (answer.rfind("cancel", 0) == 0) return MAPI_USER_ABORT;
  if (answer.rfind("fail", 0) == 0) return MAPI_E_FAILURE;
  std::FILE* out = std::fopen((Folder() + "mapi_outbox.txt").c_str(), "ab");
  if (!out) return MAPI_E_FAILURE;
  std::fprintf(out, "flags: %s\n", (flags & MAPI_DIALOG) ? "dialog" : "none");
  std::fprintf(out, "subject: %s\n", message->lpszSubject ? message->lpszSubject : "");
  for (ULONG i = 0; i < message->nRecipCount; ++i)
    std::fprintf(out, "to: %s|%s\n", message->lpRecips[i].lpszName,
                 message->lpRecips[i].lpszAddress);
  for (ULONG i = 0; i < message->nFileCount; ++i) {
    const MapiFileDesc& f = message->lpFiles[i];
    std::fprintf(out, "file: %s\n", f.lpszFileName ? f.lpszFileName : "");
    CopyFileA(f.lpszPathName, (Folder() + "mapi_outbox_" + f.lpszFileName).c_str(), FALSE);
  }
  std::fprintf(out, "body: %s\n", message->lpszNoteText ? message->lpszNoteText : "");
  std::fclose(out);
  return SUCCESS_SUCCESS;
}

#include "link/find_client_dialog.h"

#include "link/file_dialog.h"
#include "link/system_calls.h"

namespace {

// The buffer the open dialog edits; one FINDCLIENT at a time (its caller never nests it).
char* edited = nullptr;
int editedSize = 0;

// File dialog cache index of the Browse button's Open dialog.
const int BROWSE_DIALOG_INDEX = 0;

void browse(HWND dialog) {
  // Re-entry: the Open dialog's modal loop dispatches messages, so any NPP_ call may run
  // meanwhile; this dialog and its buffer are only touched again once it returns.
  const char* chosen = runFileDialog(dialog, BROWSE_DIALOG_INDEX, "EXE Files^*.EXE^^",
                                     "Find Kelvora Client APP (ORBIPLAY.EXE)", false, "");
  if (chosen) SetDlgItemTextA(dialog, IDC_CLIENT_COMMAND, chosen);
}

}  // namespace

extern "C" INT_PTR CALLBACK FCDLGProc(HWND dialog, UINT message, WPARAM wParam,
                                      LPARAM /*lParam*/) {
  switch (message) {
    case WM_INITDIALOG:
      if (edited == nullptr) break;
      if (edited[0] == '\0') lstrcpynA(edited, CLIENT_PROGRAM_NAME, editedSize);
      SetDlgItemTextA(dialog, IDC_CLIENT_COMMAND, edited);
      break;
    case WM_COMMAND:
      // The whole wParam: the control's ID with notification code 0, as a click sends it.
      if (wParam == IDOK) {
        if (edited != nullptr) GetDlgItemTextA(dialog, IDC_CLIENT_COMMAND, edited, editedSize);
        PostMessageA(dialog, WM_CLOSE, 0, 0);
      } else if (wParam == IDCANCEL) {
        PostMessageA(dialog, WM_CLOSE, 0, 0);
      } else if (wParam == IDC_BROWSE) {
        browse(dialog);
      }
      break;
    case WM_CLOSE:
      EndDialog(dialog, 0);
      break;
    default:
      break;
  }
  return FALSE;
}

void WINAPI runFindClientDialog(HINSTANCE templateModule, char* command, size_t size) {
  edited = command;
  editedSize = static_cast<int>(size);
  DialogBoxParamA(templateModule, FIND_CLIENT_DIALOG, nullptr, FCDLGProc, 0);
  edited = nullptr;
}

#include "win32/receiver_window.h"

#include "dialog/resources.h"
#include "win32/text.h"

namespace brindlemoor {

Win32ReceiverWindow::Win32ReceiverWindow(HINSTANCE instance, WaveInDevice& device,
                                         TextOutput& files, BufferAllocator allocator)
    : services(instance),
      modal(instance, kReceiverDialogId, nullptr,
            [this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
              return Handle(window, message, wParam, lParam);
            }),
      core(services, device, files, allocator) {}

Win32ReceiverWindow::~Win32ReceiverWindow() { core.OnDestroy(); }

INT_PTR Win32ReceiverWindow::Run() {
  const INT_PTR result = modal.Run();
  services.Attach(nullptr);
  return result;
}

std::optional<INT_PTR> Win32ReceiverWindow::Handle(HWND window, UINT message, WPARAM wParam,
                                                   LPARAM /*lParam*/) {
  switch (message) {
    case WM_INITDIALOG:
      services.Attach(window);
      core.OnInitDialog();
      if (started) started(*this);
      return TRUE;  // the system sets the focus
    case WM_SYSCOMMAND:
      if (core.OnSysCommand(static_cast<uint32_t>(wParam))) return TRUE;
      return std::nullopt;
    case WM_TIMER:
      core.OnTimer(static_cast<uint32_t>(wParam));
      if (timerHook) timerHook(*this, static_cast<uint32_t>(wParam));
      return TRUE;
    case WM_PAINT:
      if (!IsIconic(window)) return std::nullopt;
      PaintMinimised(window);
      return TRUE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(services.Icons().big);
    case WM_DESTROY:
      core.OnDestroy();
      return std::nullopt;
    default:
      return std::nullopt;
  }
}

void Win32ReceiverWindow::PaintMinimised(HWND window) {
  PAINTSTRUCT paint;
  HDC context = BeginPaint(window, &paint);
  SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(context), 0);
  RECT client;
  GetClientRect(window, &client);
  const IconOrigin at =
      MinimisedIconOrigin(client.right - client.left, client.bottom - client.top,
                          GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON));
  DrawIcon(context, at.x, at.y, services.Icons().big);
  EndPaint(window, &paint);
}

void Win32ReceiverWindow::ShowInputProblem(std::string_view problem) {
  const HWND line = GetDlgItem(Window(), static_cast<int>(kTextLineId));
  if (line == nullptr) return;
  const std::wstring text = Utf8ToWide(problem);
  // EM_SETCUEBANNER: only the version 6 controls (a manifest asks for them) draw a cue.
  constexpr UINT kSetCueBanner = 0x1501;
  if (!SendMessageW(line, kSetCueBanner, TRUE, reinterpret_cast<LPARAM>(text.c_str()))) {
    SetWindowTextW(line, text.c_str());
  }
}

}  // namespace brindlemoor

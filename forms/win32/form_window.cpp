#include "form_window.h"

#include <windowsx.h>

#include "error.h"
#include "fault.h"
#include "form_boxes.h"
#include "form_keys.h"
#include "form_pictures.h"
#include "sentence.h"
#include "system_library.h"
#include "text.h"
#include "text_ids.h"

namespace forms::win32 {
namespace {

using base::win32::SystemMessage;
using base::win32::Widen;

constexpr wchar_t kClassName[] = L"VarnokForm";

DWORD StyleOf(const FormDesign& design) {
    if (design.frame == Frame::FixedSingle && !design.controlBox && design.caption.empty()) {
        return WS_POPUP | WS_BORDER | WS_CLIPCHILDREN;  // a bare one-pixel frame
    }
    DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN;
    style |= design.frame == Frame::Sizable ? WS_THICKFRAME : WS_BORDER;
    style |= design.controlBox ? WS_SYSMENU : 0;
    style |= design.maxButton ? WS_MAXIMIZEBOX : 0;
    style |= design.minButton ? WS_MINIMIZEBOX : 0;
    return style;
}

DWORD ExStyleOf(const FormDesign& design) {
    return (design.showInTaskbar ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW) |
           (design.rightToLeft ? WS_EX_LAYOUTRTL : 0);
}

// The DPI of the monitor the window is on; before Windows 10 1607, which brought the call,
// the system's, which is every monitor's for a program aware of the system's DPI alone.
int DpiOf(HWND window) {
    const base::win32::SystemLibrary user32(L"user32.dll");
    if (const auto dpiForWindow = user32.Find<UINT WINAPI(HWND)>("GetDpiForWindow")) {
        if (const UINT dpi = dpiForWindow(window); dpi != 0) {
            return static_cast<int>(dpi);
        }
    }
    const base::win32::WindowDc screen(nullptr);
    return GetDeviceCaps(screen.Dc(), LOGPIXELSX);
}

// The window's size for the design's client area at `dpi`, with the frame the system draws
// there.
SIZE OuterSize(const FormDesign& design, int dpi) {
    RECT outer{0, 0, Scale(design.clientWidth, dpi), Scale(design.clientHeight, dpi)};
    const base::win32::SystemLibrary user32(L"user32.dll");  // from Windows 10 1607 on
    const auto adjustForDpi =
        user32.Find<BOOL WINAPI(RECT*, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
    if (adjustForDpi != nullptr) {
        adjustForDpi(&outer, StyleOf(design), FALSE, ExStyleOf(design), static_cast<UINT>(dpi));
    } else {
        AdjustWindowRectEx(&outer, StyleOf(design), FALSE, ExStyleOf(design));
    }
    return {outer.right - outer.left, outer.bottom - outer.top};
}

// Under per-monitor v2 awareness the system scales the frame (caption bar, borders) with the
// DPI by itself. Windows 10 1607 knows only v1, where it does so only for a window that calls
// EnableNonClientDpiScaling while it is being created.
void ScaleFrameWithDpi(HWND window) {
    const base::win32::SystemLibrary user32(L"user32.dll");
    if (const auto enable = user32.Find<BOOL WINAPI(HWND)>("EnableNonClientDpiScaling")) {
        enable(window);
    }
}

void RegisterFormClass(HINSTANCE instance, int icon, WNDPROC procedure) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = icon != 0 ? LoadIconW(instance, MAKEINTRESOURCEW(icon)) : nullptr;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);  // a second form of the process finds it registered
}

}  // namespace

FormWindow::FormWindow(HINSTANCE instance, const FormDesign& design, FormSystem& system)
    : instance_(instance), form_(design, *this, system) {
    RegisterFormClass(instance, design.icon, WindowProc);
    const SIZE outer = OuterSize(design, kDesignDpi);
    const std::wstring caption(design.caption.empty() ? design.accessibleName : design.caption);
    // On the primary monitor, where the form centres it: laid out at that monitor's DPI from
    // the start, it changes none when it moves there.
    CreateWindowExW(ExStyleOf(design), kClassName, caption.c_str(), StyleOf(design), 0, 0, outer.cx,
                    outer.cy, nullptr, nullptr, instance, this);
    if (window_ == nullptr) {
        form_.Fail(base::Error(
            base::Sentence(form_.Text(texts::kWindowNotMade), {SystemMessage(GetLastError())})));
        return;
    }
    buttons_.Create(window_, instance, form_);
    form_.SetSettings(readSettings_());
    LayOut(DpiOf(window_), nullptr);
}

// The whole design at `dpi`: the window's size, at the place the system suggests for a new
// DPI or where the form's rule puts it, the push buttons' places and fonts, and every control
// the form paints. The size is the design's to the pixel: per monitor v1 (Windows 10 1607)
// asks for none and suggests a size scaled as a whole, frame included.
void FormWindow::LayOut(int dpi, const RECT* suggested) {
    form_.SetDpi(dpi);
    const SIZE outer = OuterSize(form_.Design(), dpi);
    const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | (suggested == nullptr ? SWP_NOMOVE : 0);
    SetWindowPos(window_, nullptr, suggested != nullptr ? suggested->left : 0,
                 suggested != nullptr ? suggested->top : 0, outer.cx, outer.cy, flags);
    form_.PlaceAgain();
    buttons_.LayOut(form_, painter_);
    InvalidateRect(window_, nullptr, FALSE);
}

int FormWindow::MonitorDpi() const {
    return DpiOf(window_);
}

// WM_DPICHANGED may come where the window's own DPI has not changed (to a window that is not
// per-monitor aware, which must ignore it), so the window's own DPI decides. A window the user
// moved goes where the system suggests; one the form placed is placed again by the form's rule.
void FormWindow::OnDpiChanged(const RECT& suggested) {
    const int dpi = MonitorDpi();
    if (dpi == form_.Dpi()) {
        return;
    }
    RECT now{};
    if (GetWindowRect(window_, &now) && (now.left != placedAt_.x || now.top != placedAt_.y)) {
        form_.UserMoved();
    }
    LayOut(dpi, &suggested);
}

FormWindow::~FormWindow() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
}

int FormWindow::Run(const std::wstring& programTitle) {
    if (!form_.Failure()) {
        // Stored compressed, which keeps the program small on a slow drive; each picture is
        // decoded once, before the window first shows.
        if (base::Fault fault = LoadPictures(instance_, form_.Design(),
                                             form_.Text(texts::kPictureDamaged), pictures_)) {
            form_.Fail(
                base::Error(base::Sentence(form_.Text(texts::kPictureNotMade), {fault->what()})));
        } else {
            form_.Load();
        }
    }
    if (!form_.Ended()) {
        // A hidden window is not told of a new DPI (the monitors' settings changed meanwhile).
        if (const int dpi = MonitorDpi(); dpi != form_.Dpi()) {
            LayOut(dpi, nullptr);
        }
        ShowWindow(window_, SW_SHOWNORMAL);
        UpdateWindow(window_);
        form_.FocusFirst();
    }
    MSG message;
    while (!form_.Ended() && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!PreTranslate(message) && !form_.Failure()) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (!form_.Failure()) {
        return 0;
    }
    // The failed form has stopped, so nothing more runs behind the error box, nor answers a
    // screen reader from what failed.
    accessibility_.Disconnect();
    if (window_ != nullptr) {
        ShowWindow(window_, SW_HIDE);
    }
    ShowErrorBox(Widen(form_.Failure()->what()), programTitle, form_.BoxReading());
    return 1;
}

// The form's keys (FormTakesKey), where the window or one of its buttons has them; a message
// box keeps its own.
bool FormWindow::PreTranslate(const MSG& message) {
    const bool ours = message.hwnd == window_ || GetParent(message.hwnd) == window_;
    return ours && FormTakesKey(form_, message);
}

LRESULT CALLBACK FormWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        ScaleFrameWithDpi(window);
    }
    auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    // After an error the window only waits for the program to end, and then lets go of what
    // outlives it: a screen reader may hold its accessible object.
    const bool ending = message == WM_DESTROY || message == WM_NCDESTROY ||
                        message == base::win32::kEndingAfterFault;
    if (self == nullptr || (self->form_.Failure() && !ending)) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT FormWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = window_;  // cleared below when the window goes
    switch (message) {
        case WM_PAINT:
            painter_.PaintWindow(window_);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the paint covers every pixel, off screen first
        case WM_MOUSEMOVE:
            OnMouseMove(lParam);
            return 0;
        case WM_MOUSELEAVE:
            OnMouseLeave();
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            OnButtonDown(lParam);
            return 0;
        case WM_LBUTTONUP:
            OnButtonUp(lParam);
            return 0;
        case WM_TIMER:
            form_.TimerFired(static_cast<int>(wParam));
            return 0;
        case WM_CLOSE:  // unloads the only form, which ends the program
            form_.CloseRequested();
            return 0;
        case WM_COMMAND:
            if (const auto name = buttons_.NameOf(reinterpret_cast<HWND>(lParam));
                HIWORD(wParam) == BN_CLICKED && !name.empty()) {
                form_.ControlClicked(name);
            }
            return 0;
        case WM_SIZE:
            // Mirrored, every control moves with the right edge: the whole client area is new.
            if (form_.Design().rightToLeft) {
                InvalidateRect(window_, nullptr, FALSE);
            }
            break;
        case WM_SETTINGCHANGE:  // scheme colours are read at paint time, settings here
        case WM_SYSCOLORCHANGE:
            form_.SetSettings(readSettings_());
            InvalidateRect(window_, nullptr, FALSE);
            break;
        case WM_ACTIVATE:
            if (buttons_.KeepFocus(window_, LOWORD(wParam) != WA_INACTIVE)) {
                return 0;
            }
            break;
        case WM_GETDPISCALEDSIZE:  // the design's size at the new DPI, to the pixel
            *reinterpret_cast<SIZE*>(lParam) = OuterSize(form_.Design(), LOWORD(wParam));
            return TRUE;
        case WM_DPICHANGED:  // moved onto a monitor of another DPI, or its scale changed
            OnDpiChanged(*reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_ENTERSIZEMOVE:
            form_.UserMoved();
            break;
        case WM_GETOBJECT:
            return accessibility_.Answer(window_, wParam, lParam);
        case AccessibleForm::kPressMessage:
            OnPressRequest(wParam);
            return 0;
        case WM_DESTROY:
        case base::win32::kEndingAfterFault:
            accessibility_.Disconnect();
            break;
        case WM_NCDESTROY:
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            window_ = nullptr;
            break;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Windows tells of the pointer leaving only when asked, once for each time it came in.
void FormWindow::OnMouseMove(LPARAM position) {
    if (!trackingLeave_) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window_, 0};
        trackingLeave_ = TrackMouseEvent(&track) != FALSE;
    }
    form_.MouseMoved(GET_X_LPARAM(position), GET_Y_LPARAM(position));
}

// Off the window, or covered by another: as far as the handlers go, the background.
void FormWindow::OnMouseLeave() {
    trackingLeave_ = false;
    form_.MouseLeft();
}

void FormWindow::OnButtonDown(LPARAM position) {
    SetCapture(window_);
    form_.ButtonPressed(GET_X_LPARAM(position), GET_Y_LPARAM(position));
}

void FormWindow::OnButtonUp(LPARAM position) {
    ReleaseCapture();
    form_.ButtonReleased(GET_X_LPARAM(position), GET_Y_LPARAM(position));
}

void FormWindow::OnPressRequest(WPARAM designIndex) {
    const auto& controls = form_.Design().controls;
    if (designIndex < controls.size()) {
        form_.ControlClicked(controls[designIndex].name);
    }
}

void FormWindow::Invalidate(const Rect& area) {
    const RECT box = ToRect(area);
    InvalidateRect(window_, &box, FALSE);
}

void FormWindow::MoveWindow(int left, int top) {
    placedAt_ = {left, top};
    SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::ShowMessage(const std::wstring& text, const std::wstring& title, MessageIcon icon,
                             Reading reading) {
    ShowFormMessage(window_, text, title, icon, reading);
}

void FormWindow::StartTimer(int id, unsigned intervalMs) {
    SetTimer(window_, static_cast<UINT_PTR>(id), intervalMs, nullptr);
}

void FormWindow::StopTimer(int id) {
    KillTimer(window_, static_cast<UINT_PTR>(id));
}

}  // namespace forms::win32

#include "form_window.h"

#include <windowsx.h>

#include <algorithm>

#include "avi_clip.h"
#include "error.h"
#include "frame_decoder.h"
#include "text.h"
#include "text_layout.h"

namespace forms::win32 {
namespace {

using base::win32::OwnedBrush;
using base::win32::OwnedFile;
using base::win32::OwnedMemoryDc;
using base::win32::OwnedPen;
using base::win32::PaintScope;
using base::win32::Selection;
using base::win32::SystemMessage;
using base::win32::Widen;
using base::win32::WindowDc;

constexpr wchar_t kClassName[] = L"VarnokForm";
constexpr uint64_t kLargestFile = 256u << 20;

COLORREF ColourRef(Colour colour) {
    if (colour.fromScheme) {
        return GetSysColor(static_cast<int>(colour.value));
    }
    return RGB(colour.value >> 16 & 0xFF, colour.value >> 8 & 0xFF, colour.value & 0xFF);
}

RECT ToRect(const Rect& rect) {
    return {rect.left, rect.top, rect.Right(), rect.Bottom()};
}

// Decoded pixels, 0x00RRGGBB with the top row first.
BITMAPINFO TopDownRgb32(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

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
    return design.showInTaskbar ? WS_EX_APPWINDOW : WS_EX_TOOLWINDOW;
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

int CALLBACK MarkFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// Stand-ins for faces a fresh system may lack, of the same metrics or near them, so text
// still fits its box. Empty: none is there, and the font mapper picks a sans-serif face.
std::wstring AvailableFace(HDC dc, std::wstring_view face) {
    const auto exists = [dc](std::wstring_view name) {
        LOGFONTW wanted{};
        wanted.lfCharSet = DEFAULT_CHARSET;
        name.copy(wanted.lfFaceName, LF_FACESIZE - 1);
        bool found = false;
        EnumFontFamiliesExW(dc, &wanted, MarkFound, reinterpret_cast<LPARAM>(&found), 0);
        return found;
    };
    if (exists(face)) {
        return std::wstring(face);
    }
    for (const std::wstring_view standIn : {L"Microsoft Sans Serif", L"Liberation Sans"}) {
        if (standIn != face && exists(standIn)) {
            return std::wstring(standIn);
        }
    }
    return {};
}

OwnedBitmap PixelsToBitmap(int width, int height, const std::vector<uint32_t>& pixels) {
    const BITMAPINFO info = TopDownRgb32(width, height);
    void* bits = nullptr;
    OwnedBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap) {
        throw base::Error("A picture cannot be made: " + SystemMessage(GetLastError()) + ".");
    }
    std::copy(pixels.begin(), pixels.end(), static_cast<uint32_t*>(bits));
    return bitmap;
}

}  // namespace

FormWindow::FormWindow(HINSTANCE instance, const FormDesign& design)
    : instance_(instance), form_(design, *this) {
    RegisterFormClass(instance, design.icon, WindowProc);
    RECT outer{0, 0, design.clientWidth, design.clientHeight};
    AdjustWindowRectEx(&outer, StyleOf(design), FALSE, ExStyleOf(design));
    const std::wstring caption(design.caption.empty() ? design.accessibleName : design.caption);
    CreateWindowExW(ExStyleOf(design), kClassName, caption.c_str(), StyleOf(design), CW_USEDEFAULT,
                    CW_USEDEFAULT, outer.right - outer.left, outer.bottom - outer.top, nullptr,
                    nullptr, instance, this);
    if (window_ == nullptr) {
        creationError_ = "The window cannot be created: " + SystemMessage(GetLastError()) + ".";
        return;
    }
    CreateButtons();
}

// In reverse design order, so that a button listed earlier lies on top where two touch.
void FormWindow::CreateButtons() {
    const auto& controls = form_.Design().controls;
    for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
        if (it->kind != Kind::CommandButton) {
            continue;
        }
        const std::wstring caption(it->text);
        const auto id = static_cast<INT_PTR>(AccessibleForm::kFirstButtonId) +
                        (it.base() - 1 - controls.begin());
        HWND button = CreateWindowExW(0, L"BUTTON", caption.c_str(),
                                      WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                      it->rect.left, it->rect.top, it->rect.width, it->rect.height,
                                      window_, reinterpret_cast<HMENU>(id), instance_, nullptr);
        SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(*it)), FALSE);
        buttons_[it->name] = button;
        UpdateChild(form_[it->name]);
    }
}

FormWindow::~FormWindow() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
}

int FormWindow::Run(const std::wstring& programTitle) {
    Guarded([this] {
        if (window_ == nullptr) {
            throw base::Error(creationError_);
        }
        LoadPictures();
        form_.Load();
        if (!form_.Ended()) {
            ShowWindow(window_, SW_SHOWNORMAL);
            UpdateWindow(window_);
            form_.FocusFirst();
        }
    });
    MSG message;
    while (!failed_ && !form_.Ended() && GetMessageW(&message, nullptr, 0, 0) > 0) {
        bool taken = false;
        Guarded([&] { taken = PreTranslate(message); });
        if (!taken && !failed_) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (!failed_) {
        return 0;
    }
    if (window_ != nullptr) {
        ShowWindow(window_, SW_HIDE);
    }
    MessageBoxW(nullptr, Widen(failure_).c_str(), programTitle.c_str(),
                MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
    return 1;
}

template <typename Work>
void FormWindow::Guarded(Work&& work) noexcept {
    try {
        work();
    } catch (const std::exception& error) {
        Fail(error.what());
    } catch (...) {
        Fail("An unexpected error occurred.");
    }
}

// Stops the form at once, so nothing more runs behind the error box; the first error is
// the one told.
void FormWindow::Fail(const char* what) noexcept {
    if (!failed_) {
        failed_ = true;
        try {
            failure_ = what;
        } catch (...) {
            failure_.clear();  // no memory even for the text: the box says no more than that
        }
    }
    form_.Stop();
}

// Tab, Enter and Esc and the access keys follow the form's rules rather than the dialog
// manager's, which would take the tab order from the buttons' stacking.
bool FormWindow::PreTranslate(const MSG& message) {
    if (message.hwnd != window_ && GetParent(message.hwnd) != window_) {
        return false;  // a message box's own keys
    }
    if (message.message == WM_KEYDOWN) {
        const Key key = message.wParam == VK_TAB      ? Key::Tab
                        : message.wParam == VK_RETURN ? Key::Enter
                        : message.wParam == VK_SPACE  ? Key::Space
                        : message.wParam == VK_ESCAPE ? Key::Escape
                                                      : Key::Other;
        return key != Key::Other && form_.KeyPressed(key, GetKeyState(VK_SHIFT) < 0);
    }
    if (message.message == WM_SYSCHAR) {
        return form_.AccessKeyPressed(static_cast<wchar_t>(message.wParam));
    }
    return false;
}

LRESULT CALLBACK FormWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    // After an error the window only waits for the program to end.
    if (self == nullptr || (self->failed_ && message != WM_NCDESTROY)) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    LRESULT result = 0;
    bool handled = false;
    self->Guarded([&] {
        result = self->HandleMessage(message, wParam, lParam);
        handled = true;
    });
    return handled ? result : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT FormWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND window = window_;  // cleared below when the window goes
    switch (message) {
        case WM_PAINT:
            OnPaint();
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
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_COMMAND:
            OnCommand(wParam, lParam);
            return 0;
        case WM_SYSCOLORCHANGE:
            InvalidateRect(window_, nullptr, FALSE);  // scheme colours are read at paint time
            break;
        case WM_ACTIVATE:
            if (OnActivate(wParam)) {
                return 0;
            }
            break;
        case WM_GETOBJECT:
            return OnGetObject(wParam, lParam);
        case AccessibleForm::kPressMessage:
            OnPressRequest(wParam);
            return 0;
        case WM_DESTROY:
            OnDestroy();
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

void FormWindow::OnPaint() {
    const PaintScope paint(window_);
    RECT client;
    GetClientRect(window_, &client);
    const OwnedMemoryDc buffer(CreateCompatibleDC(paint.Dc()));
    const OwnedBitmap surface(CreateCompatibleBitmap(paint.Dc(), client.right, client.bottom));
    const Selection selected(buffer.get(), surface.get());
    PaintClientArea(buffer.get());
    BitBlt(paint.Dc(), 0, 0, client.right, client.bottom, buffer.get(), 0, 0, SRCCOPY);
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

// Closing through the system unloads the only form, which ends the program.
void FormWindow::OnClose() {
    form_.CloseRequested();
}

void FormWindow::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (HIWORD(wParam) != BN_CLICKED) {
        return;
    }
    for (const auto& [name, button] : buttons_) {
        if (button == reinterpret_cast<HWND>(lParam)) {
            form_.ControlClicked(name);
            return;
        }
    }
}

// The focus leaves with the window and comes back to the same button; true when it did.
bool FormWindow::OnActivate(WPARAM wParam) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        lastFocus_ = focus != nullptr && GetParent(focus) == window_ ? focus : nullptr;
        return false;
    }
    if (lastFocus_ != nullptr && IsWindowEnabled(lastFocus_)) {
        SetFocus(lastFocus_);
        return true;
    }
    return false;
}

// Pictures are stored compressed, which keeps the program small on a slow drive; each is
// decoded once, before the window first shows.
void FormWindow::LoadPictures() {
    for (const ControlDesign& control : form_.Design().controls) {
        if (control.kind == Kind::Image && control.picture != 0 &&
            !pictures_.contains(control.picture)) {
            pictures_[control.picture] = DecodePicture(control.picture);
        }
    }
}

OwnedBitmap FormWindow::DecodePicture(int resource) {
    const std::string what = "The picture " + std::to_string(resource) + " cannot be shown: ";
    HRSRC found = FindResourceW(instance_, MAKEINTRESOURCEW(resource), RT_RCDATA);
    HGLOBAL loaded = found != nullptr ? LoadResource(instance_, found) : nullptr;
    const auto* bytes =
        static_cast<const uint8_t*>(loaded != nullptr ? LockResource(loaded) : nullptr);
    if (bytes == nullptr) {
        throw base::Error(what + SystemMessage(GetLastError()) + ".");
    }
    try {
        const clip::AviClip file =
            clip::AviClip::ParseBitmapFile({bytes, SizeofResource(instance_, found)});
        clip::FrameDecoder picture(file);
        picture.AdvanceTo(0);
        return PixelsToBitmap(picture.Width(), picture.Height(), picture.Pixels());
    } catch (const clip::ClipError& error) {
        throw base::Error(what + error.what() + ".");
    }
}

// The client area's object for screen readers. COM is started on the window's thread for it,
// since the object is handed to the client through COM's marshalling.
LRESULT FormWindow::OnGetObject(WPARAM wParam, LPARAM lParam) {
    // A hook may ask while the window is being destroyed: no new object that would outlive it.
    if (destroying_ || static_cast<LONG>(lParam) != static_cast<LONG>(OBJID_CLIENT)) {
        return DefWindowProcW(window_, WM_GETOBJECT, wParam, lParam);
    }
    if (!accessibility_) {
        accessibility_ = std::make_unique<ActiveAccessibility>();
        // For the program's life: oleacc keeps ole32 loaded, and the object in use needs it.
        const SystemLibrary ole32(L"ole32.dll");
        if (const auto initialise = ole32.Find<decltype(CoInitializeEx)>("CoInitializeEx")) {
            initialise(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        }
    }
    if (!accessible_ && accessibility_->Loaded()) {
        IAccessible* standard = nullptr;
        if (SUCCEEDED(accessibility_->createStandardObject(window_, OBJID_CLIENT,
                                                           AccessibleForm::kIid,
                                                           reinterpret_cast<void**>(&standard)))) {
            ComPtr<IAccessible> owned(standard);
            accessible_.reset(
                new AccessibleForm(window_, form_, *accessibility_, std::move(owned)));
        }
    }
    if (!accessible_) {
        return DefWindowProcW(window_, WM_GETOBJECT, wParam, lParam);
    }
    return accessibility_->resultFromObject(AccessibleForm::kIid, wParam, accessible_.get());
}

void FormWindow::OnPressRequest(WPARAM designIndex) {
    const auto& controls = form_.Design().controls;
    if (designIndex < controls.size()) {
        form_.ControlClicked(controls[designIndex].name);
    }
}

// Clients may hold the object longer than the window lives.
void FormWindow::OnDestroy() {
    destroying_ = true;
    if (accessible_) {
        accessible_->Disconnect();
        accessible_.reset();
    }
}

void FormWindow::PaintClientArea(HDC dc) {
    RECT client;
    GetClientRect(window_, &client);
    const OwnedBrush background(CreateSolidBrush(ColourRef(form_.Design().backColour)));
    FillRect(dc, &client, background.get());
    for (const Control* control : form_.PaintOrder()) {
        PaintControl(dc, *control);
    }
}

void FormWindow::PaintControl(HDC dc, const Control& control) {
    switch (control.Design().kind) {
        case Kind::Shape:
            PaintShape(dc, control.Design());
            break;
        case Kind::Label:
            PaintLabel(dc, control);
            break;
        case Kind::Image:
            PaintImage(dc, control.Design());
            break;
        case Kind::Animation:
            PaintAnimation(dc, control);
            break;
        case Kind::Line:
            PaintLine(dc, control.Design());
            break;
        default:
            break;
    }
}

// A borderless shape filled in its back colour. Without a pen GDI leaves out the right and
// bottom edges, so the figure is given one pixel more to fill exactly its box.
void FormWindow::PaintShape(HDC dc, const ControlDesign& design) {
    const OwnedBrush fill(CreateSolidBrush(ColourRef(design.backColour)));
    const Rect& r = design.rect;
    if (design.shape == ShapeStyle::Ellipse) {
        const Selection pen(dc, GetStockObject(NULL_PEN));
        const Selection brush(dc, fill.get());
        Ellipse(dc, r.left, r.top, r.Right() + 1, r.Bottom() + 1);
    } else {
        const RECT box = ToRect(r);
        FillRect(dc, &box, fill.get());
    }
}

void FormWindow::PaintLabel(HDC dc, const Control& label) {
    const ControlDesign& design = label.Design();
    RECT box = ToRect(design.rect);
    if (!design.transparent) {
        const OwnedBrush back(CreateSolidBrush(ColourRef(design.backColour)));
        FillRect(dc, &box, back.get());
    }
    const Selection font(dc, FontFor(design));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColourRef(design.foreColour));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    const int lineHeight = std::max(1, static_cast<int>(metrics.tmHeight));
    // Whole lines only; a box lower than one line still shows the top of its first.
    const int maxLines = std::max(1, design.rect.height / lineHeight);
    const auto measure = [dc](std::wstring_view text) {
        SIZE size{};
        GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
        return static_cast<int>(size.cx);
    };
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, box.left, box.top, box.right, box.bottom);
    const UINT align = design.alignment == Alignment::Centre ? DT_CENTER : DT_LEFT;
    RECT line{box.left, box.top, box.right, box.top + lineHeight};
    for (const std::wstring& text :
         DisplayLines(label.Text(), design.rect.width, maxLines, measure)) {
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &line,
                  align | DT_SINGLELINE | DT_NOCLIP);
        OffsetRect(&line, 0, lineHeight);
    }
    RestoreDC(dc, saved);
}

// A picture at its own size, decoded before the window showed; the client edge clips it.
void FormWindow::PaintImage(HDC dc, const ControlDesign& design) {
    const auto found = pictures_.find(design.picture);
    BITMAP size{};
    if (found == pictures_.end() || GetObjectW(found->second.get(), sizeof size, &size) == 0) {
        return;
    }
    const OwnedBitmap& picture = found->second;
    const OwnedMemoryDc source(CreateCompatibleDC(dc));
    const Selection selected(source.get(), picture.get());
    BitBlt(dc, design.rect.left, design.rect.top, size.bmWidth, size.bmHeight, source.get(), 0, 0,
           SRCCOPY);
}

// The clip's frame centred on the control's background, clipped to the control.
void FormWindow::PaintAnimation(HDC dc, const Control& control) {
    const Rect& r = control.Design().rect;
    const RECT box = ToRect(r);
    const OwnedBrush back(CreateSolidBrush(ColourRef(control.Design().backColour)));
    FillRect(dc, &box, back.get());
    const Animation* animation = form_.AnimationOf(control);
    const clip::FrameDecoder* picture = animation != nullptr ? animation->Picture() : nullptr;
    if (picture == nullptr) {
        return;
    }
    const BITMAPINFO info = TopDownRgb32(picture->Width(), picture->Height());
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, box.left, box.top, box.right, box.bottom);
    SetDIBitsToDevice(
        dc, r.left + (r.width - picture->Width()) / 2, r.top + (r.height - picture->Height()) / 2,
        static_cast<DWORD>(picture->Width()), static_cast<DWORD>(picture->Height()), 0, 0, 0,
        static_cast<UINT>(picture->Height()), picture->Pixels().data(), &info, DIB_RGB_COLORS);
    RestoreDC(dc, saved);
}

// One pixel wide, from one end point to the other with both ends drawn.
void FormWindow::PaintLine(HDC dc, const ControlDesign& design) {
    const OwnedPen pen(CreatePen(PS_SOLID, 1, ColourRef(design.foreColour)));
    const Selection selected(dc, pen.get());
    const int previousMix = SetROP2(dc, design.maskPen ? R2_MASKPEN : R2_COPYPEN);
    MoveToEx(dc, design.from.x, design.from.y, nullptr);
    LineTo(dc, design.to.x, design.to.y);
    LineTo(dc, design.to.x + 1, design.to.y);  // LineTo leaves out its last pixel
    SetROP2(dc, previousMix);
}

HFONT FormWindow::FontFor(const ControlDesign& design) {
    return FontOf(design.font ? *design.font : form_.Design().font);
}

HFONT FormWindow::FontOf(const FontDesign& wanted) {
    OwnedFont& font = fonts_[&wanted];
    if (!font) {
        const WindowDc screen(window_);
        const int height = -MulDiv(wanted.points, GetDeviceCaps(screen.Dc(), LOGPIXELSY), 72);
        const std::wstring face = AvailableFace(screen.Dc(), wanted.face);
        font.reset(CreateFontW(height, 0, 0, 0, wanted.weight, FALSE, FALSE, FALSE, ANSI_CHARSET,
                               OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                               DEFAULT_PITCH | FF_SWISS, face.c_str()));
    }
    return font.get();
}

void FormWindow::Invalidate(const Rect& area) {
    const RECT box = ToRect(area);
    InvalidateRect(window_, &box, FALSE);
}

// Screen readers learn of a painted control's changes only from these events. Showing or
// hiding an element renumbers the child ids of those after it.
void FormWindow::Announce(const Control& control, Change change) {
    const Kind kind = control.Design().kind;
    if (kind != Kind::Label && kind != Kind::Image && kind != Kind::Animation) {
        return;  // shapes and lines are not told
    }
    const LONG client = OBJID_CLIENT;
    if (change == Change::Visibility) {
        NotifyWinEvent(EVENT_OBJECT_REORDER, window_, client, CHILDID_SELF);
    }
    const std::vector<AccessibleElement> elements = AccessibleElements(form_);
    const auto found = std::find_if(elements.begin(), elements.end(), [&](const auto& element) {
        return element.control == &control;
    });
    if (found == elements.end()) {
        return;  // hidden: no longer a child to name
    }
    const LONG id = ChildIdOf(static_cast<size_t>(found - elements.begin()));
    const DWORD event = change == Change::Visibility ? EVENT_OBJECT_SHOW
                        : change == Change::Enabled  ? EVENT_OBJECT_STATECHANGE
                                                     : EVENT_OBJECT_NAMECHANGE;
    NotifyWinEvent(event, window_, client, id);
}

void FormWindow::MoveWindow(int left, int top) {
    SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void FormWindow::HideWindow() {
    ShowWindow(window_, SW_HIDE);
}

// Straight onto the screen, in the window's font and colour; a later repaint may cover it.
void FormWindow::PrintText(const std::wstring& text) {
    const WindowDc dc(window_);
    const Selection font(dc.Dc(), FontOf(form_.Design().font));
    SetBkMode(dc.Dc(), TRANSPARENT);
    SetTextColor(dc.Dc(), ColourRef(form_.Design().foreColour));
    TextOutW(dc.Dc(), 0, 0, text.c_str(), static_cast<int>(text.size()));
    GdiFlush();
}

// Owned by the window while it shows, which gets the activation back afterwards. A hidden
// window makes a poor owner: the box is then task-modal on its own, with a task bar button.
void FormWindow::ShowMessage(const std::wstring& text, const std::wstring& title,
                             MessageIcon icon) {
    const HWND owner = IsWindowVisible(window_) ? window_ : nullptr;
    UINT flags = MB_OK | MB_SETFOREGROUND | (owner != nullptr ? MB_APPLMODAL : MB_TASKMODAL);
    flags |= icon == MessageIcon::Exclamation ? MB_ICONEXCLAMATION : 0;
    MessageBoxW(owner, text.c_str(), title.c_str(), flags);
}

void FormWindow::StartTimer(int id, unsigned intervalMs) {
    SetTimer(window_, static_cast<UINT_PTR>(id), intervalMs, nullptr);
}

void FormWindow::StopTimer(int id) {
    KillTimer(window_, static_cast<UINT_PTR>(id));
}

uint64_t FormWindow::NowMs() {
    return GetTickCount64();
}

std::vector<uint8_t> FormWindow::ReadFile(const std::wstring& name) {
    const OwnedFile file(CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        throw base::Error("the file cannot be opened: " + SystemMessage(GetLastError()));
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || static_cast<uint64_t>(size.QuadPart) > kLargestFile) {
        throw base::Error("the file is too large to be a splash clip");
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        if (!::ReadFile(file.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                        &read, nullptr) ||
            read == 0) {
            throw base::Error("the file cannot be read: " + SystemMessage(GetLastError()));
        }
        done += read;
    }
    return bytes;
}

void FormWindow::UpdateChild(const Control& control) {
    const auto found = buttons_.find(control.Name());
    if (found == buttons_.end()) {
        return;
    }
    HWND button = found->second;
    EnableWindow(button, control.Enabled());
    ShowWindow(button, control.Visible() ? SW_SHOWNA : SW_HIDE);
    SetWindowTextW(button, control.Text().c_str());
}

void FormWindow::FocusChild(const Control& control) {
    const auto found = buttons_.find(control.Name());
    if (found != buttons_.end()) {
        SetFocus(found->second);
    }
}

std::string_view FormWindow::FocusedChild() {
    HWND focus = GetFocus();
    for (const auto& [name, button] : buttons_) {
        if (button == focus) {
            return name;
        }
    }
    return {};
}

void FormWindow::EndProgram() {
    PostQuitMessage(0);
}

}  // namespace forms::win32

#include "accessible_form.h"

#include <objbase.h>

#include <algorithm>
#include <new>
#include <utility>

#include "form_buttons.h"
#include "text_ids.h"

namespace forms::win32 {
namespace {

// Windows 8 and later; Windows 7's clients ignore it.
constexpr DWORD kLiveRegionChanged = 0x8019;  // EVENT_OBJECT_LIVEREGIONCHANGED
// Defined here, as the import library that carries them would tie the program to oleacc.dll.
constexpr CLSID kAccPropServices = {
    0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr IID kIidAccPropServices = {
    0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr GUID kLiveSetting = {
    0xc12bcd8e, 0x2a8e, 0x4950, {0x8a, 0xe7, 0x36, 0x25, 0x11, 0x1d, 0x58, 0xeb}};
constexpr LONG kPolite = 1;  // LiveSetting: said once what is being said is done

LONG RoleOf(AccessibleRole role) {
    switch (role) {
        case AccessibleRole::PushButton:
            return ROLE_SYSTEM_PUSHBUTTON;
        case AccessibleRole::Graphic:
            return ROLE_SYSTEM_GRAPHIC;
        case AccessibleRole::Animation:
            return ROLE_SYSTEM_ANIMATION;
        case AccessibleRole::StaticText:
            break;
    }
    return ROLE_SYSTEM_STATICTEXT;
}

void SetLong(VARIANT* out, LONG value) {
    out->vt = VT_I4;
    out->lVal = value;
}

void SetEmpty(VARIANT* out) {
    out->vt = VT_EMPTY;
}

// CHILDID_SELF: how a client names the object itself rather than one of its children.
VARIANT Self() {
    VARIANT self{};
    SetLong(&self, CHILDID_SELF);
    return self;
}

// Active Accessibility's navigation constants as the portable model names them.
std::optional<Direction> DirectionOf(LONG direction) {
    switch (direction) {
        case NAVDIR_UP:
            return Direction::Up;
        case NAVDIR_DOWN:
            return Direction::Down;
        case NAVDIR_LEFT:
            return Direction::Left;
        case NAVDIR_RIGHT:
            return Direction::Right;
        case NAVDIR_NEXT:
            return Direction::Next;
        case NAVDIR_PREVIOUS:
            return Direction::Previous;
        default:
            return std::nullopt;
    }
}

}  // namespace

ActiveAccessibility::ActiveAccessibility()
    : resultFromObject(oleacc.Find<decltype(LresultFromObject)>("LresultFromObject")),
      createStandardObject(
          oleacc.Find<decltype(CreateStdAccessibleObject)>("CreateStdAccessibleObject")),
      objectFromWindow(
          oleacc.Find<decltype(AccessibleObjectFromWindow)>("AccessibleObjectFromWindow")),
      allocString(oleaut32.Find<decltype(SysAllocString)>("SysAllocString")),
      createInstance(ole32.Find<decltype(CoCreateInstance)>("CoCreateInstance")) {}

bool ActiveAccessibility::Loaded() const {
    return resultFromObject != nullptr && createStandardObject != nullptr &&
           objectFromWindow != nullptr && allocString != nullptr;
}

AccessibleForm::AccessibleForm(HWND window, const Form& form, const ActiveAccessibility& api,
                               ComPtr<IAccessible> standard)
    : window_(window), form_(&form), api_(api), standard_(std::move(standard)) {}

void AccessibleForm::Disconnect() {
    form_ = nullptr;
    elements_.clear();
    standard_.reset();
}

bool AccessibleForm::Refresh() {
    if (form_ == nullptr) {
        return false;
    }
    elements_ = AccessibleElements(*form_);
    return true;
}

template <typename Work>
HRESULT AccessibleForm::Connected(Work&& work) noexcept {
    return Refresh() ? work() : RPC_E_DISCONNECTED;
}

template <typename Work>
HRESULT AccessibleForm::ForChild(const VARIANT& child, Work&& work) noexcept {
    return Connected([&]() -> HRESULT {
        const std::optional<const AccessibleElement*> element = Resolve(child);
        return element ? work(*element) : E_INVALIDARG;
    });
}

std::optional<const AccessibleElement*> AccessibleForm::Resolve(const VARIANT& child) const {
    if (child.vt == VT_EMPTY || (child.vt == VT_I4 && child.lVal == CHILDID_SELF)) {
        return nullptr;
    }
    const std::optional<size_t> index =
        child.vt == VT_I4 ? ElementIndexOf(child.lVal, elements_.size()) : std::nullopt;
    if (!index) {
        return std::nullopt;
    }
    return &elements_[*index];
}

// A push button's own object; any other element is a simple one, named by its id.
HRESULT AccessibleForm::ElementVariant(size_t index, VARIANT* out) {
    const AccessibleElement& element = elements_[index];
    if (element.ownWindow) {
        IDispatch* object = nullptr;
        if (SUCCEEDED(api_.objectFromWindow(ButtonWindow(element), static_cast<DWORD>(OBJID_CLIENT),
                                            IID_IDispatch, reinterpret_cast<void**>(&object)))) {
            out->vt = VT_DISPATCH;
            out->pdispVal = object;
            return S_OK;
        }
    }
    SetLong(out, ChildIdOf(index));
    return S_OK;
}

// A pressable label is the window's default button: Enter presses it, and it holds the
// focus while the window does and no push button has it. Push buttons take the focus; no
// button of these windows is a default one.
LONG AccessibleForm::StateOf(const AccessibleElement& element) const {
    const Control& control = *element.control;
    LONG state = 0;
    if (element.ownWindow) {
        const HWND button = ButtonWindow(element);
        state |= control.CanHoldFocus() ? STATE_SYSTEM_FOCUSABLE : 0;
        state |= button != nullptr && GetFocus() == button ? STATE_SYSTEM_FOCUSED : 0;
    } else if (element.role == AccessibleRole::PushButton) {
        state |= STATE_SYSTEM_DEFAULT | STATE_SYSTEM_FOCUSABLE;
        state |=
            GetFocus() == window_ && form_->FocusedLabel() == &control ? STATE_SYSTEM_FOCUSED : 0;
    } else {
        state |= STATE_SYSTEM_READONLY;
    }
    state |= control.Enabled() ? 0 : STATE_SYSTEM_UNAVAILABLE;
    state |= element.role == AccessibleRole::Animation ? STATE_SYSTEM_ANIMATED : 0;
    state |= IsWindowVisible(window_) ? 0 : STATE_SYSTEM_INVISIBLE;
    return state;
}

HRESULT AccessibleForm::Text(std::wstring_view text, BSTR* out) const {
    const std::wstring terminated(text);
    *out = api_.allocString(terminated.c_str());
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

// In the pixels the window has at its DPI.
RECT AccessibleForm::ScreenRectOf(const AccessibleElement& element) const {
    const Rect r = form_->RectOf(*element.control);
    POINT corners[2] = {{r.left, r.top}, {r.Right(), r.Bottom()}};
    MapWindowPoints(window_, nullptr, corners, 2);
    return {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

size_t AccessibleForm::DesignIndexOf(const AccessibleElement& element) const {
    return static_cast<size_t>(&element.control->Design() - form_->Design().controls.data());
}

HWND AccessibleForm::ButtonWindow(const AccessibleElement& element) const {
    return GetDlgItem(window_, FormButtons::kFirstId + static_cast<int>(DesignIndexOf(element)));
}

HRESULT AccessibleForm::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kIid) {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG AccessibleForm::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG AccessibleForm::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0) {
        delete this;
    }
    return static_cast<ULONG>(left);
}

HRESULT AccessibleForm::GetTypeInfoCount(UINT* count) {
    *count = 0;
    return S_OK;
}

HRESULT AccessibleForm::GetTypeInfo(UINT, LCID, ITypeInfo**) {
    return E_NOTIMPL;
}

HRESULT AccessibleForm::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT AccessibleForm::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                               UINT*) {
    return E_NOTIMPL;
}

HRESULT AccessibleForm::get_accParent(IDispatch** parent) {
    *parent = nullptr;
    return Connected([&] { return standard_->get_accParent(parent); });
}

HRESULT AccessibleForm::get_accChildCount(LONG* count) {
    *count = 0;
    return Connected([&] {
        *count = static_cast<LONG>(elements_.size());
        return S_OK;
    });
}

HRESULT AccessibleForm::get_accChild(VARIANT child, IDispatch** object) {
    *object = nullptr;
    return ForChild(child, [&](const AccessibleElement* element) -> HRESULT {
        if (element == nullptr) {
            return E_INVALIDARG;  // the object is no child of its own
        }
        VARIANT found{};
        ElementVariant(static_cast<size_t>(element - elements_.data()), &found);
        if (found.vt != VT_DISPATCH) {
            return S_FALSE;  // a simple element: ask this object with its id
        }
        *object = found.pdispVal;
        return S_OK;
    });
}

HRESULT AccessibleForm::get_accName(VARIANT child, BSTR* name) {
    *name = nullptr;
    return ForChild(child, [&](const AccessibleElement* element) {
        return element == nullptr ? standard_->get_accName(Self(), name)
                                  : Text(element->name, name);
    });
}

HRESULT AccessibleForm::get_accValue(VARIANT child, BSTR* value) {
    *value = nullptr;
    return ForChild(child, [](const AccessibleElement*) { return S_FALSE; });
}

HRESULT AccessibleForm::get_accDescription(VARIANT child, BSTR* description) {
    *description = nullptr;
    return ForChild(child, [](const AccessibleElement*) { return S_FALSE; });
}

HRESULT AccessibleForm::get_accRole(VARIANT child, VARIANT* role) {
    SetEmpty(role);
    return ForChild(child, [&](const AccessibleElement* element) {
        SetLong(role, element == nullptr ? ROLE_SYSTEM_CLIENT : RoleOf(element->role));
        return S_OK;
    });
}

HRESULT AccessibleForm::get_accState(VARIANT child, VARIANT* state) {
    SetEmpty(state);
    return ForChild(child, [&](const AccessibleElement* element) {
        if (element == nullptr) {
            return standard_->get_accState(Self(), state);
        }
        SetLong(state, StateOf(*element));
        return S_OK;
    });
}

HRESULT AccessibleForm::get_accHelp(VARIANT child, BSTR* help) {
    *help = nullptr;
    return ForChild(child, [](const AccessibleElement*) { return S_FALSE; });
}

HRESULT AccessibleForm::get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) {
    *file = nullptr;
    *topic = 0;
    return ForChild(child, [](const AccessibleElement*) { return S_FALSE; });
}

// Enter for the default button; Alt and the access key for a push button that has one.
HRESULT AccessibleForm::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    *shortcut = nullptr;
    return ForChild(child, [&](const AccessibleElement* element) {
        if (element == nullptr || element->role != AccessibleRole::PushButton) {
            return S_FALSE;
        }
        if (!element->ownWindow) {
            return Text(form_->Text(texts::kKeyEnter), shortcut);
        }
        const wchar_t key = element->control->AccessKey();
        return key != 0 ? Text(std::wstring(form_->Text(texts::kKeyAlt)) + key, shortcut) : S_FALSE;
    });
}

HRESULT AccessibleForm::get_accFocus(VARIANT* focus) {
    SetEmpty(focus);
    return Connected([&] {
        const HWND focused = GetFocus();
        const Control* label = focused == window_ ? form_->FocusedLabel() : nullptr;
        for (size_t i = 0; i < elements_.size(); ++i) {
            if (elements_[i].ownWindow ? ButtonWindow(elements_[i]) == focused
                                       : label != nullptr && elements_[i].control == label) {
                return ElementVariant(i, focus);
            }
        }
        if (focused == window_) {
            SetLong(focus, CHILDID_SELF);
            return S_OK;
        }
        return S_FALSE;
    });
}

HRESULT AccessibleForm::get_accSelection(VARIANT* selection) {
    SetEmpty(selection);
    return Connected([] { return S_FALSE; });
}

HRESULT AccessibleForm::get_accDefaultAction(VARIANT child, BSTR* action) {
    *action = nullptr;
    return ForChild(child, [&](const AccessibleElement* element) {
        if (element == nullptr || element->role != AccessibleRole::PushButton) {
            return DISP_E_MEMBERNOTFOUND;
        }
        return Text(form_->Text(texts::kActionPress), action);
    });
}

HRESULT AccessibleForm::accSelect(LONG, VARIANT child) {
    return ForChild(child, [](const AccessibleElement*) { return DISP_E_MEMBERNOTFOUND; });
}

HRESULT AccessibleForm::accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                    VARIANT child) {
    *left = *top = *width = *height = 0;
    return ForChild(child, [&](const AccessibleElement* element) {
        if (element == nullptr) {
            return standard_->accLocation(left, top, width, height, Self());
        }
        const RECT box = ScreenRectOf(*element);
        *left = box.left;
        *top = box.top;
        *width = box.right - box.left;
        *height = box.bottom - box.top;
        return S_OK;
    });
}

HRESULT AccessibleForm::accNavigate(LONG direction, VARIANT start, VARIANT* end) {
    SetEmpty(end);
    return ForChild(
        start, [&](const AccessibleElement* element) { return Navigate(direction, element, end); });
}

// First and last child from the object itself; next and previous in reading order, and the
// four directions by place, among the elements; anything beyond the object's own children
// from the system's object.
HRESULT AccessibleForm::Navigate(LONG direction, const AccessibleElement* start, VARIANT* end) {
    const bool toChild = direction == NAVDIR_FIRSTCHILD || direction == NAVDIR_LASTCHILD;
    if (start == nullptr) {
        if (!toChild) {
            return standard_->accNavigate(direction, Self(), end);
        }
        if (elements_.empty()) {
            return S_FALSE;
        }
        return ElementVariant(direction == NAVDIR_FIRSTCHILD ? 0 : elements_.size() - 1, end);
    }
    if (toChild) {
        return E_INVALIDARG;  // a simple element has no children
    }
    const std::optional<Direction> way = DirectionOf(direction);
    if (!way) {
        return E_INVALIDARG;
    }
    const std::optional<size_t> found =
        NextElement(elements_, static_cast<size_t>(start - elements_.data()), *way);
    return found ? ElementVariant(*found, end) : S_FALSE;
}

// The front-most element under the point, as the design orders them; the client area where
// there is none.
HRESULT AccessibleForm::accHitTest(LONG x, LONG y, VARIANT* child) {
    SetEmpty(child);
    return Connected([&] {
        POINT point{x, y};
        ScreenToClient(window_, &point);
        RECT client;
        GetClientRect(window_, &client);
        if (!Rect{0, 0, client.right, client.bottom}.Contains(point.x, point.y)) {
            return S_FALSE;
        }
        size_t best = elements_.size();
        for (size_t i = 0; i < elements_.size(); ++i) {
            const bool inside = form_->RectOf(*elements_[i].control).Contains(point.x, point.y);
            const bool inFront = best == elements_.size() ||
                                 elements_[i].ownWindow > elements_[best].ownWindow ||
                                 (elements_[i].ownWindow == elements_[best].ownWindow &&
                                  DesignIndexOf(elements_[i]) < DesignIndexOf(elements_[best]));
            if (inside && inFront) {
                best = i;
            }
        }
        if (best == elements_.size()) {
            SetLong(child, CHILDID_SELF);
            return S_OK;
        }
        return ElementVariant(best, child);
    });
}

HRESULT AccessibleForm::accDoDefaultAction(VARIANT child) {
    return ForChild(child, [&](const AccessibleElement* element) {
        if (element == nullptr || element->role != AccessibleRole::PushButton) {
            return DISP_E_MEMBERNOTFOUND;
        }
        PostMessageW(window_, kPressMessage, DesignIndexOf(*element), 0);
        return S_OK;
    });
}

HRESULT AccessibleForm::put_accName(VARIANT, BSTR) {
    return Connected([] { return E_NOTIMPL; });
}

HRESULT AccessibleForm::put_accValue(VARIANT, BSTR) {
    return Connected([] { return E_NOTIMPL; });
}

// The client area's object for screen readers. COM is started on the window's thread for it,
// since the object is handed to the client through COM's marshalling.
LRESULT FormAccessibility::Answer(HWND window, WPARAM wParam, LPARAM lParam) {
    // A hook may ask while the window is being destroyed: no new object that would outlive it.
    if (destroyed_ || static_cast<LONG>(lParam) != static_cast<LONG>(OBJID_CLIENT)) {
        return DefWindowProcW(window, WM_GETOBJECT, wParam, lParam);
    }
    if (!api_) {
        api_ = std::make_unique<ActiveAccessibility>();
        // For the program's life: oleacc keeps ole32 loaded, and the object in use needs it.
        const SystemLibrary ole32(L"ole32.dll");
        if (const auto initialise = ole32.Find<decltype(CoInitializeEx)>("CoInitializeEx")) {
            initialise(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        }
    }
    if (!object_ && api_->Loaded()) {
        IAccessible* standard = nullptr;
        if (SUCCEEDED(api_->createStandardObject(window, OBJID_CLIENT, AccessibleForm::kIid,
                                                 reinterpret_cast<void**>(&standard)))) {
            ComPtr<IAccessible> owned(standard);
            object_.reset(new AccessibleForm(window, form_, *api_, std::move(owned)));
        }
    }
    if (!object_) {
        return DefWindowProcW(window, WM_GETOBJECT, wParam, lParam);
    }
    return api_->resultFromObject(AccessibleForm::kIid, wParam, object_.get());
}

// Screen readers learn of a painted control's changes only from these events. Showing or
// hiding an element renumbers the child ids of those after it.
void FormAccessibility::Announce(HWND window, const Control& control, Change change) {
    const Kind kind = control.Design().kind;
    if (kind != Kind::Label && kind != Kind::Image && kind != Kind::Animation) {
        return;  // shapes and lines are not told
    }
    const LONG client = OBJID_CLIENT;
    if (change == Change::Visibility) {
        NotifyWinEvent(EVENT_OBJECT_REORDER, window, client, CHILDID_SELF);
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
                        : change == Change::Focus    ? EVENT_OBJECT_FOCUS
                                                     : EVENT_OBJECT_NAMECHANGE;
    NotifyWinEvent(event, window, client, id);
    if (change == Change::Text && control.Design().liveRegion) {
        MarkLive(window, id);
        NotifyWinEvent(kLiveRegionChanged, window, client, id);
    }
}

// A live region is annotated as one, polite, for UI Automation, through whose proxy Narrator
// and NVDA read a window's Active Accessibility objects; the proxy reads it as the event
// comes. Only once a client has asked for the object, which brings COM and oleacc in; where
// oleacc lacks the annotation service (Wine), the event alone tells.
void FormAccessibility::MarkLive(HWND window, LONG childId) {
    if (!annotations_ && api_ && api_->createInstance != nullptr) {
        IAccPropServices* services = nullptr;
        if (SUCCEEDED(api_->createInstance(kAccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                           kIidAccPropServices,
                                           reinterpret_cast<void**>(&services)))) {
            annotations_.reset(services);
        }
    }
    if (annotations_) {
        VARIANT polite{};
        SetLong(&polite, kPolite);
        annotations_->SetHwndProp(window, static_cast<DWORD>(OBJID_CLIENT),
                                  static_cast<DWORD>(childId), kLiveSetting, polite);
    }
}

void FormAccessibility::Disconnect() {
    destroyed_ = true;
    annotations_.reset();
    if (object_) {
        object_->Disconnect();
        object_.reset();
    }
}

}  // namespace forms::win32

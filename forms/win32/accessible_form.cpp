#include "accessible_form.h"

#include <algorithm>

namespace forms::win32 {
namespace {

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

}  // namespace

ActiveAccessibility::ActiveAccessibility()
    : resultFromObject(oleacc.Find<decltype(LresultFromObject)>("LresultFromObject")),
      createStandardObject(
          oleacc.Find<decltype(CreateStdAccessibleObject)>("CreateStdAccessibleObject")),
      objectFromWindow(
          oleacc.Find<decltype(AccessibleObjectFromWindow)>("AccessibleObjectFromWindow")),
      allocString(oleaut32.Find<decltype(SysAllocString)>("SysAllocString")) {}

bool ActiveAccessibility::Loaded() const {
    return resultFromObject != nullptr && createStandardObject != nullptr &&
           objectFromWindow != nullptr && allocString != nullptr;
}

AccessibleForm::AccessibleForm(HWND window, const Form& form, const ActiveAccessibility& api,
                               IAccessible* standard)
    : window_(window), form_(&form), api_(api), standard_(standard) {}

AccessibleForm::~AccessibleForm() {
    if (standard_ != nullptr) {
        standard_->Release();
    }
}

void AccessibleForm::Disconnect() {
    form_ = nullptr;
    elements_.clear();
    if (standard_ != nullptr) {
        standard_->Release();
        standard_ = nullptr;
    }
}

bool AccessibleForm::Refresh() {
    if (form_ == nullptr) {
        return false;
    }
    elements_ = AccessibleElements(*form_);
    return true;
}

AccessibleForm::Target AccessibleForm::Resolve(const VARIANT& child,
                                               const AccessibleElement*& element) {
    element = nullptr;
    if (!Refresh() || child.vt != VT_I4) {
        return Target::Invalid;
    }
    if (child.lVal == CHILDID_SELF) {
        return Target::Self;
    }
    if (child.lVal < 1 || static_cast<size_t>(child.lVal) > elements_.size()) {
        return Target::Invalid;
    }
    element = &elements_[static_cast<size_t>(child.lVal) - 1];
    return Target::Element;
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
    SetLong(out, static_cast<LONG>(index) + 1);
    return S_OK;
}

// A pressable label is the window's default button: Enter presses it.
LONG AccessibleForm::StateOf(const AccessibleElement& element) const {
    LONG state =
        element.role == AccessibleRole::PushButton ? STATE_SYSTEM_DEFAULT : STATE_SYSTEM_READONLY;
    state |= element.control->Enabled() ? 0 : STATE_SYSTEM_UNAVAILABLE;
    state |= element.role == AccessibleRole::Animation ? STATE_SYSTEM_ANIMATED : 0;
    state |= IsWindowVisible(window_) ? 0 : STATE_SYSTEM_INVISIBLE;
    return state;
}

HRESULT AccessibleForm::Text(std::wstring_view text, BSTR* out) const {
    const std::wstring terminated(text);
    *out = api_.allocString(terminated.c_str());
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

RECT AccessibleForm::ScreenRectOf(const AccessibleElement& element) const {
    const Rect& r = element.control->Design().rect;
    POINT corners[2] = {{r.left, r.top}, {r.Right(), r.Bottom()}};
    MapWindowPoints(window_, nullptr, corners, 2);
    return {corners[0].x, corners[0].y, corners[1].x, corners[1].y};
}

size_t AccessibleForm::DesignIndexOf(const AccessibleElement& element) const {
    return static_cast<size_t>(&element.control->Design() - form_->Design().controls.data());
}

HWND AccessibleForm::ButtonWindow(const AccessibleElement& element) const {
    return GetDlgItem(window_, kFirstButtonId + static_cast<int>(DesignIndexOf(element)));
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
    return Refresh() ? standard_->get_accParent(parent) : RPC_E_DISCONNECTED;
}

HRESULT AccessibleForm::get_accChildCount(LONG* count) {
    *count = 0;
    if (!Refresh()) {
        return RPC_E_DISCONNECTED;
    }
    *count = static_cast<LONG>(elements_.size());
    return S_OK;
}

HRESULT AccessibleForm::get_accChild(VARIANT child, IDispatch** object) {
    *object = nullptr;
    const AccessibleElement* element = nullptr;
    if (Resolve(child, element) != Target::Element) {
        return E_INVALIDARG;
    }
    VARIANT found{};
    ElementVariant(static_cast<size_t>(child.lVal) - 1, &found);
    if (found.vt != VT_DISPATCH) {
        return S_FALSE;  // a simple element: ask this object with its id
    }
    *object = found.pdispVal;
    return S_OK;
}

HRESULT AccessibleForm::get_accName(VARIANT child, BSTR* name) {
    *name = nullptr;
    const AccessibleElement* element = nullptr;
    switch (Resolve(child, element)) {
        case Target::Self:
            return standard_->get_accName(child, name);
        case Target::Element:
            return Text(element->name, name);
        case Target::Invalid:
            break;
    }
    return E_INVALIDARG;
}

HRESULT AccessibleForm::get_accValue(VARIANT, BSTR* value) {
    *value = nullptr;
    return S_FALSE;
}

HRESULT AccessibleForm::get_accDescription(VARIANT, BSTR* description) {
    *description = nullptr;
    return S_FALSE;
}

HRESULT AccessibleForm::get_accRole(VARIANT child, VARIANT* role) {
    SetEmpty(role);
    const AccessibleElement* element = nullptr;
    switch (Resolve(child, element)) {
        case Target::Self:
            SetLong(role, ROLE_SYSTEM_CLIENT);
            return S_OK;
        case Target::Element:
            SetLong(role, RoleOf(element->role));
            return S_OK;
        case Target::Invalid:
            break;
    }
    return E_INVALIDARG;
}

HRESULT AccessibleForm::get_accState(VARIANT child, VARIANT* state) {
    SetEmpty(state);
    const AccessibleElement* element = nullptr;
    switch (Resolve(child, element)) {
        case Target::Self:
            return standard_->get_accState(child, state);
        case Target::Element:
            SetLong(state, StateOf(*element));
            return S_OK;
        case Target::Invalid:
            break;
    }
    return E_INVALIDARG;
}

HRESULT AccessibleForm::get_accHelp(VARIANT, BSTR* help) {
    *help = nullptr;
    return S_FALSE;
}

HRESULT AccessibleForm::get_accHelpTopic(BSTR* file, VARIANT, LONG* topic) {
    *file = nullptr;
    *topic = 0;
    return S_FALSE;
}

HRESULT AccessibleForm::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    *shortcut = nullptr;
    const AccessibleElement* element = nullptr;
    if (Resolve(child, element) == Target::Element && !element->ownWindow &&
        element->role == AccessibleRole::PushButton) {
        return Text(L"Enter", shortcut);
    }
    return S_FALSE;
}

HRESULT AccessibleForm::get_accFocus(VARIANT* focus) {
    SetEmpty(focus);
    if (!Refresh()) {
        return RPC_E_DISCONNECTED;
    }
    const HWND focused = GetFocus();
    if (focused == window_) {
        SetLong(focus, CHILDID_SELF);
        return S_OK;
    }
    for (size_t i = 0; i < elements_.size(); ++i) {
        if (elements_[i].ownWindow && ButtonWindow(elements_[i]) == focused) {
            return ElementVariant(i, focus);
        }
    }
    return S_FALSE;
}

HRESULT AccessibleForm::get_accSelection(VARIANT* selection) {
    SetEmpty(selection);
    return S_FALSE;
}

HRESULT AccessibleForm::get_accDefaultAction(VARIANT child, BSTR* action) {
    *action = nullptr;
    const AccessibleElement* element = nullptr;
    if (Resolve(child, element) == Target::Element && element->role == AccessibleRole::PushButton) {
        return Text(L"Press", action);
    }
    return S_FALSE;
}

HRESULT AccessibleForm::accSelect(LONG, VARIANT) {
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT AccessibleForm::accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                    VARIANT child) {
    *left = *top = *width = *height = 0;
    const AccessibleElement* element = nullptr;
    switch (Resolve(child, element)) {
        case Target::Self:
            return standard_->accLocation(left, top, width, height, child);
        case Target::Element: {
            const RECT box = ScreenRectOf(*element);
            *left = box.left;
            *top = box.top;
            *width = box.right - box.left;
            *height = box.bottom - box.top;
            return S_OK;
        }
        case Target::Invalid:
            break;
    }
    return E_INVALIDARG;
}

HRESULT AccessibleForm::accNavigate(LONG direction, VARIANT start, VARIANT* end) {
    SetEmpty(end);
    const AccessibleElement* element = nullptr;
    const Target target = Resolve(start, element);
    if (target == Target::Invalid) {
        return E_INVALIDARG;
    }
    const auto count = static_cast<LONG>(elements_.size());
    LONG next = 0;
    if (target == Target::Self) {
        if (direction != NAVDIR_FIRSTCHILD && direction != NAVDIR_LASTCHILD) {
            return standard_->accNavigate(direction, start, end);
        }
        next = direction == NAVDIR_FIRSTCHILD ? 1 : count;
    } else if (direction == NAVDIR_NEXT || direction == NAVDIR_DOWN || direction == NAVDIR_RIGHT) {
        next = start.lVal + 1;
    } else if (direction == NAVDIR_PREVIOUS || direction == NAVDIR_UP || direction == NAVDIR_LEFT) {
        next = start.lVal - 1;
    }
    if (next < 1 || next > count) {
        return S_FALSE;
    }
    return ElementVariant(static_cast<size_t>(next) - 1, end);
}

// The front-most element under the point, as the design orders them; the client area where
// there is none.
HRESULT AccessibleForm::accHitTest(LONG x, LONG y, VARIANT* child) {
    SetEmpty(child);
    if (!Refresh()) {
        return RPC_E_DISCONNECTED;
    }
    POINT point{x, y};
    ScreenToClient(window_, &point);
    RECT client;
    GetClientRect(window_, &client);
    if (!PtInRect(&client, point)) {
        return S_FALSE;
    }
    size_t best = elements_.size();
    for (size_t i = 0; i < elements_.size(); ++i) {
        const bool inside = elements_[i].control->Design().rect.Contains(point.x, point.y);
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
}

HRESULT AccessibleForm::accDoDefaultAction(VARIANT child) {
    const AccessibleElement* element = nullptr;
    if (Resolve(child, element) != Target::Element) {
        return E_INVALIDARG;
    }
    if (element->role != AccessibleRole::PushButton) {
        return DISP_E_MEMBERNOTFOUND;
    }
    PostMessageW(window_, kPressMessage, DesignIndexOf(*element), 0);
    return S_OK;
}

HRESULT AccessibleForm::put_accName(VARIANT, BSTR) {
    return E_NOTIMPL;
}

HRESULT AccessibleForm::put_accValue(VARIANT, BSTR) {
    return E_NOTIMPL;
}

}  // namespace forms::win32

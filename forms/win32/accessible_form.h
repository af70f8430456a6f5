// The client area of a form window as Active Accessibility sees it: one object whose children
// are the controls the form paints itself, as simple elements, and its push buttons, as the
// system's own objects for them. oleacc.dll is loaded from the system folder the
// first time a client asks, so a program nobody inspects never loads it.
#pragma once

#include <windows.h>

#include <oleacc.h>

#include <memory>
#include <optional>
#include <vector>

#include "accessibility.h"
#include "handles.h"
#include "system_library.h"

namespace forms::win32 {

using base::win32::ComPtr;
using base::win32::SystemLibrary;

// oleacc's and oleaut32's functions the object needs; Loaded() is false where one is missing.
struct ActiveAccessibility {
    ActiveAccessibility();
    bool Loaded() const;

    SystemLibrary oleacc{L"oleacc.dll"};
    SystemLibrary oleaut32{L"oleaut32.dll"};
    SystemLibrary ole32{L"ole32.dll"};
    decltype(LresultFromObject)* resultFromObject;
    decltype(CreateStdAccessibleObject)* createStandardObject;
    decltype(AccessibleObjectFromWindow)* objectFromWindow;
    decltype(SysAllocString)* allocString;
    decltype(CoCreateInstance)* createInstance;  // optional: for live regions' annotation
};

class AccessibleForm final : public IAccessible {
  public:
    // IAccessible's id, {618736E0-3C3D-11CF-810C-00AA00389B71}: defined here, since the import
    // library that carries it would also tie the program to oleacc.dll.
    static constexpr IID kIid = {
        0x618736E0, 0x3C3D, 0x11CF, {0x81, 0x0C, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

    // `standard` is the system's object for the client area, which this one takes over.
    AccessibleForm(HWND window, const Form& form, const ActiveAccessibility& api,
                   ComPtr<IAccessible> standard);
    // The window is going: every later call fails, whoever still holds the object.
    void Disconnect();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch: no type information; clients use the v-table.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override;
    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override;
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override;

    // Posted to the window to click the control whose position in the design is `wParam`:
    // a client's call returns before the click's own message boxes show.
    static constexpr UINT kPressMessage = WM_APP + 0x41;

  private:
    ~AccessibleForm() = default;
    // Reads the form afresh; false once disconnected.
    bool Refresh();
    // Runs `work` on the object itself (a null element) or the element `child` names, with
    // the form read afresh; answers for a disconnected object and an invalid child.
    template <typename Work>
    HRESULT ForChild(const VARIANT& child, Work&& work) noexcept;
    template <typename Work>
    HRESULT Connected(Work&& work) noexcept;
    // Child ids count the elements from 1; 0 (or no id at all) is the client area itself.
    // Nothing where the id names no element.
    std::optional<const AccessibleElement*> Resolve(const VARIANT& child) const;
    HRESULT ElementVariant(size_t index, VARIANT* out);
    HRESULT Navigate(LONG direction, const AccessibleElement* start, VARIANT* end);
    LONG StateOf(const AccessibleElement& element) const;
    HRESULT Text(std::wstring_view text, BSTR* out) const;
    RECT ScreenRectOf(const AccessibleElement& element) const;
    size_t DesignIndexOf(const AccessibleElement& element) const;
    HWND ButtonWindow(const AccessibleElement& element) const;

    LONG references_ = 1;
    HWND window_;
    const Form* form_;
    const ActiveAccessibility& api_;
    ComPtr<IAccessible> standard_;  // the system's object for the client area: parent, self
    std::vector<AccessibleElement> elements_;
};

// The window's side of it: answers WM_GETOBJECT for the client area, tells screen readers of
// the painted controls' changes, and disconnects the object when the window goes.
class FormAccessibility {
  public:
    explicit FormAccessibility(const Form& form) : form_(form) {}

    // The object for OBJID_CLIENT; DefWindowProc's answer for anything else, and once the
    // window is being destroyed.
    LRESULT Answer(HWND window, WPARAM wParam, LPARAM lParam);
    void Announce(HWND window, const Control& control, Change change);
    // Clients may hold the object longer than the window lives, or than the program goes on
    // after a fault: from now on it answers that it is gone.
    void Disconnect();

  private:
    void MarkLive(HWND window, LONG childId);

    const Form& form_;
    bool destroyed_ = false;
    std::unique_ptr<ActiveAccessibility> api_;  // loaded when first asked for
    ComPtr<AccessibleForm> object_;
    ComPtr<IAccPropServices> annotations_;  // where oleacc has the service
};

}  // namespace forms::win32

// A form's Win32 window: creates it from the design, paints the controls, and turns
// window messages into the form's events.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "accessible_form.h"
#include "form.h"
#include "handles.h"

namespace forms::win32 {

using base::win32::OwnedBitmap;
using base::win32::OwnedFont;

class FormWindow : public FormHost {
  public:
    FormWindow(HINSTANCE instance, const FormDesign& design);
    ~FormWindow() override;
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    HWND Handle() const { return window_; }
    Form& GetForm() { return form_; }

    // Loads the form, shows the window and runs its messages until the program ends. A
    // window that could not be created, a load that fails or an error while it runs is told
    // in an error box titled `programTitle`; the exit code is then 1.
    int Run(const std::wstring& programTitle);

    // FormHost
    void Invalidate(const Rect& area) override;
    void Announce(const Control& control, Change change) override;
    void MoveWindow(int left, int top) override;
    void HideWindow() override;
    void PrintText(const std::wstring& text) override;
    void ShowMessage(const std::wstring& text, const std::wstring& title,
                     MessageIcon icon) override;
    void StartTimer(int id, unsigned intervalMs) override;
    void StopTimer(int id) override;
    uint64_t NowMs() override;
    std::vector<uint8_t> ReadFile(const std::wstring& name) override;
    void EndProgram() override;
    void UpdateChild(const Control& control) override;
    void FocusChild(const Control& control) override;
    std::string_view FocusedChild() override;

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Runs `work`; what it throws stops the form and is kept for the error box, so that no
    // exception unwinds through the system's frames.
    template <typename Work>
    void Guarded(Work&& work) noexcept;
    void Fail(const char* what) noexcept;

    void OnPaint();
    void OnMouseMove(LPARAM position);
    void OnMouseLeave();
    void OnButtonDown(LPARAM position);
    void OnButtonUp(LPARAM position);
    void OnClose();
    void OnCommand(WPARAM wParam, LPARAM lParam);
    bool OnActivate(WPARAM wParam);
    LRESULT OnGetObject(WPARAM wParam, LPARAM lParam);
    void OnPressRequest(WPARAM designIndex);
    void OnDestroy();
    // Keys the form handles before the focused button sees them; true when it took one.
    bool PreTranslate(const MSG& message);
    void CreateButtons();

    void LoadPictures();
    OwnedBitmap DecodePicture(int resource);

    void PaintClientArea(HDC dc);
    void PaintControl(HDC dc, const Control& control);
    void PaintShape(HDC dc, const ControlDesign& design);
    void PaintLabel(HDC dc, const Control& label);
    void PaintImage(HDC dc, const ControlDesign& design);
    void PaintAnimation(HDC dc, const Control& control);
    void PaintLine(HDC dc, const ControlDesign& design);
    HFONT FontFor(const ControlDesign& design);
    HFONT FontOf(const FontDesign& font);

    HINSTANCE instance_;
    Form form_;
    HWND window_ = nullptr;
    std::string creationError_;
    bool failed_ = false;         // an error while running: the program ends with it
    std::string failure_;         // its text
    bool destroying_ = false;     // between WM_DESTROY and WM_NCDESTROY
    bool trackingLeave_ = false;  // TrackMouseEvent will tell when the pointer leaves
    std::map<std::string_view, HWND> buttons_;
    HWND lastFocus_ = nullptr;  // given back when the window is activated again
    std::map<const FontDesign*, OwnedFont> fonts_;
    std::map<int, OwnedBitmap> pictures_;
    std::unique_ptr<ActiveAccessibility> accessibility_;  // loaded when first asked for
    ComPtr<AccessibleForm> accessible_;
};

}  // namespace forms::win32

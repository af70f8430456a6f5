// A form's Win32 window: creates it from the design, paints the controls, and turns
// window messages into the form's events.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "accessible_form.h"
#include "form.h"
#include "form_buttons.h"
#include "form_painter.h"
#include "handles.h"
#include "user_settings_reader.h"

namespace forms::win32 {

using base::win32::ComPtr;
using base::win32::OwnedBitmap;

class FormWindow : public FormHost {
  public:
    FormWindow(HINSTANCE instance, const FormDesign& design, FormSystem& system);
    ~FormWindow() override;
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    HWND Handle() const { return window_; }
    Form& GetForm() { return form_; }
    // How the user's settings are read, now and at each change Windows announces: a test
    // build adds what Wine cannot set.
    void ReadSettingsWith(UserSettings (*read)()) {
        readSettings_ = read;
        form_.SetSettings(read());
    }

    // Loads the form, shows the window and runs its messages until the program ends. A
    // window that could not be created, a load that fails or an error while it runs is told
    // in an error box titled `programTitle`; the exit code is then 1.
    int Run(const std::wstring& programTitle);

    // FormHost
    void Invalidate(const Rect& area) override;
    void Announce(const Control& control, Change change) override {
        accessibility_.Announce(window_, control, change);
    }
    void MoveWindow(int left, int top) override;
    void HideWindow() override { ShowWindow(window_, SW_HIDE); }
    void PrintText(const std::wstring& text) override { painter_.PrintText(window_, text); }
    void ShowMessage(const std::wstring& text, const std::wstring& title, MessageIcon icon,
                     Reading reading) override;
    void StartTimer(int id, unsigned intervalMs) override;
    void StopTimer(int id) override;
    void EndProgram() override { PostQuitMessage(0); }
    void UpdateChild(const Control& control) override { buttons_.Update(control); }
    void FocusChild(const Control& control) override { buttons_.Focus(control); }
    std::string_view FocusedChild() override { return buttons_.Focused(); }

  protected:
    // The DPI of the monitor the window is on, as the system gives it to the window.
    virtual int MonitorDpi() const;

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void LayOut(int dpi, const RECT* suggested);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void OnMouseMove(LPARAM position);
    void OnMouseLeave();
    void OnButtonDown(LPARAM position);
    void OnButtonUp(LPARAM position);
    void OnPressRequest(WPARAM designIndex);
    void OnDpiChanged(const RECT& suggested);
    // Keys the form handles before the focused button sees them; true when it took one.
    bool PreTranslate(const MSG& message);

    HINSTANCE instance_;
    UserSettings (*readSettings_)() = ReadUserSettings;
    Form form_;
    HWND window_ = nullptr;
    bool trackingLeave_ = false;  // TrackMouseEvent will tell when the pointer leaves
    POINT placedAt_{};            // where the form last placed the window
    FormButtons buttons_;
    Pictures pictures_;
    FormPainter painter_{form_, pictures_};
    FormAccessibility accessibility_{form_};
};

}  // namespace forms::win32

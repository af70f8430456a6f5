// The run-time side of a window design: its controls' state, its events and the order in
// which the controls are painted and take the mouse. Portable; the window system is a
// FormHost.
#pragma once

#include <memory>
#include <string>

#include "animation.h"
#include "callback.h"
#include "design.h"
#include "form_host.h"
#include "form_system.h"
#include "small_map.h"
#include "user_settings.h"

namespace forms {

class Form;

class Control {
  public:
    Control(const ControlDesign& design, Form& form);

    const ControlDesign& Design() const { return design_; }
    std::string_view Name() const { return design_.name; }
    bool Visible() const { return visible_; }
    bool Enabled() const { return enabled_; }
    const std::wstring& Text() const { return text_; }

    void SetVisible(bool visible);
    void SetEnabled(bool enabled);
    void SetText(const std::wstring& text);

    // Windowed controls lie in front of every windowless one.
    bool Windowed() const;
    // Push buttons are windows of their own; the form paints every other control.
    bool HasOwnWindow() const { return design_.kind == Kind::CommandButton; }
    // Visible, enabled and in the tab order: it can take the keyboard focus.
    bool CanHoldFocus() const;
    // The letter after a single ampersand in the caption, upper case; 0 when there is none.
    wchar_t AccessKey() const;
    // Shapes, lines and hidden controls take no mouse input.
    bool TakesMouse() const;

  private:
    const ControlDesign& design_;
    Form& form_;
    bool visible_;
    bool enabled_;
    std::wstring text_;
};

enum class Event { Load, Click, MouseMove, Timer };
enum class Key { Tab, Enter, Space, Escape, Other };

class Form {
  public:
    Form(const FormDesign& design, FormHost& host, FormSystem& system);
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const FormDesign& Design() const { return design_; }
    FormHost& Host() { return host_; }
    // A text of the program's, in the language it speaks (texts::Id).
    std::wstring_view Text(int id) const { return system_.Text(id); }
    // The DPI the window shows the design at; every rectangle below is scaled to it.
    int Dpi() const { return dpi_; }
    void SetDpi(int dpi) { dpi_ = dpi; }
    Rect RectOf(const Control& control) const { return Scale(control.Design().rect, dpi_); }
    // A control by its design name. A name the design lacks fails the form, and a hidden
    // stand-in takes what the handler goes on to do.
    Control& operator[](std::string_view name);
    const Control& operator[](std::string_view name) const;
    Animation& AnimationOf(std::string_view name);
    const Animation* AnimationOf(const Control& control) const;

    // Handlers: `target` is a control's name, or the form's own for its events.
    void On(std::string_view target, Event event, Callback<void()> handler);
    bool Handles(std::string_view target, Event event) const;

    // Events from the window system, in client pixels at the window's DPI.
    void Load();  // starts the enabled timers, then runs the load handler: they count from it
    void MouseMoved(int x, int y);
    void ButtonPressed(int x, int y);
    void ButtonReleased(int x, int y);
    void TimerFired(int id);
    void ControlClicked(std::string_view name);  // a push button's own click, mouse or Space

    // Keys the form handles before the focused control sees them: Tab and Shift+Tab move the
    // focus in tab order, Enter presses the focused button, Esc presses none. Where no
    // control holds the focus, Enter and Space click the first shown label, in tab order,
    // that takes clicks. False: the key is the control's.
    bool KeyPressed(Key key, bool shift);
    // Alt and a key: the enabled button whose access key is the character the key gives in
    // the user's keyboard layout, or else the Latin letter or digit the key stands for
    // (`keyLetter`, 0 for none), takes the focus and is pressed. So "(&N)" still answers
    // Alt+N under an Arabic or Cyrillic layout, and an Arabic access letter answers its key.
    // One key stroke presses one button at most, though it may give two characters (a
    // pending dead key's and its own, or an Arabic key's ligature): each stroke starts with
    // KeyWentDown, and what it gives after its press is swallowed.
    bool AccessKeyPressed(wchar_t character, wchar_t keyLetter = 0);
    void KeyWentDown();
    // Gives the focus to the control with the lowest tab index that can hold it.
    void FocusFirst();
    // The first shown, enabled label in tab order that takes clicks: Enter and Space press
    // it. Where no push button holds the focus it holds it, as a screen reader is told, so
    // "Continue" is read out as it appears. Null where there is none.
    const Control* DefaultLabel() const;
    const Control* FocusedLabel() const;
    // The focus is drawn once the user works the window from the keyboard, as Windows
    // shows focus rectangles from the first key on, or from the start where the user asked
    // for keyboard cues always.
    bool ShowsFocusCue() const { return focusCue_; }
    // What the user set in Windows for the screen; the window repaints as they change.
    const UserSettings& Settings() const { return settings_; }
    void SetSettings(const UserSettings& settings);
    // How a control's change reaches the screen, and screen readers.
    void Changed(const Control& control, Change change);

    // What handlers do to the window.
    void Move(int left, int top) { host_.MoveWindow(left, top); }
    // Places the window by a rule, such as in the middle of the screen, and again by the same
    // rule once its DPI changes (which changes its size), until the user moves it.
    void Place(Callback<void()> place);
    void PlaceAgain();
    void UserMoved() { place_ = {}; }
    void Hide();
    void Print(const std::wstring& text) { host_.PrintText(text); }
    void ShowMessage(const std::wstring& text, const std::wstring& title, MessageIcon icon);
    // How the program's language reads, which its boxes follow. The splash window is never
    // mirrored, as its pictures read left to right, but an Arabic sentence in a box still
    // reads from the right.
    Reading BoxReading() const;
    // The program is ending: its timers stop and no event reaches a handler any more, while
    // a last message box may still show.
    void Stop();
    // Stops, then ends the program.
    void End();
    bool Ended() const { return ended_; }
    // What goes wrong in a handler: the form stops, and the first failure is kept for the
    // window to tell in an error box before the program ends.
    void Fail(base::Error error);
    const base::Fault& Failure() const { return failure_; }
    // The user closes the window (close box, Alt+F4). It ends the program, but not in the
    // middle of a click: a start and its boxes run to their end first.
    void CloseRequested();
    // The pointer left the client area: for the handlers, a move onto the background.
    void MouseLeft();

    // The control under a point, or the form's name where only its background is.
    std::string_view HitTest(int x, int y) const;
    // Controls to paint, back to front: windowless in reverse design order, then windowed.
    std::vector<const Control*> PaintOrder() const;

  private:
    // A control or animation the code names but the design lacks: a damaged program.
    void FailDamaged(std::string_view missing);
    void Fire(std::string_view target, Event event);
    int TimerIdOf(const Control& control) const;
    std::vector<Control*> TabOrder() const;
    void MoveFocus(bool backwards);
    void FocusNextAfter(int tabIndex, bool backwards);
    void PressDefaultLabel();
    void ShowFocusCue();

    const FormDesign& design_;
    FormHost& host_;
    FormSystem& system_;
    std::vector<std::unique_ptr<Control>> controls_;
    SmallMap<std::string_view, std::unique_ptr<Animation>> animations_;
    Control standIn_;
    Animation standInAnimation_;
    base::Fault failure_;
    // Keyed by names that last as long as the program: the design's, or the code's own.
    SmallMap<std::pair<std::string_view, Event>, Callback<void()>> handlers_;
    Callback<void()> place_;
    std::string_view pressedOn_;
    bool strokePressed_ = false;  // the key stroke under way has pressed a button
    bool focusCue_ = false;
    UserSettings settings_;
    bool inClick_ = false;
    bool closeRequested_ = false;
    bool ended_ = false;
    int dpi_ = kDesignDpi;
};

}  // namespace forms

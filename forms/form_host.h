// What a form needs of the window it runs in: the real one, or a fake in tests.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "design.h"

namespace forms {

enum class MessageIcon { None, Exclamation };
// A box reads as the program's language does, whatever the window's own layout.
enum class Reading { LeftToRight, RightToLeft };
// Focus: a label took the focus a window gives the first label it can press.
enum class Change { Visibility, Enabled, Text, Focus };

class Control;

class FormHost {
  public:
    virtual ~FormHost() = default;

    virtual void Invalidate(const Rect& area) = 0;
    // A control the form paints itself changed: screen readers are told, as a control with
    // a window of its own tells them itself.
    virtual void Announce(const Control& control, Change change) = 0;
    virtual void MoveWindow(int left, int top) = 0;  // the outer top-left corner, in pixels
    virtual void HideWindow() = 0;
    // Writes text straight onto the window at the top-left text position.
    virtual void PrintText(const std::wstring& text) = 0;
    // Shows a modal box with an OK button and waits until the user closes it.
    virtual void ShowMessage(const std::wstring& text, const std::wstring& title, MessageIcon icon,
                             Reading reading) = 0;
    virtual void StartTimer(int id, unsigned intervalMs) = 0;
    virtual void StopTimer(int id) = 0;
    virtual void EndProgram() = 0;

    // A push button, which has a window of its own, changed: the window follows the control
    // (shown, enabled, caption).
    virtual void UpdateChild(const Control& control) = 0;
    virtual void FocusChild(const Control& control) = 0;
    // The name of the control that holds the keyboard focus; empty when none does.
    virtual std::string_view FocusedChild() = 0;
};

}  // namespace forms

#include "form.h"

#include <algorithm>
#include <cwctype>
#include <utility>

#include "error.h"
#include "sentence.h"
#include "text_ids.h"

namespace forms {
namespace {

constexpr int kAnimationTimerBase = 1000;
// What stands in for a control the design lacks: hidden, nowhere, and never painted.
const ControlDesign kStandInDesign{.visible = false};

}  // namespace

Control::Control(const ControlDesign& design, Form& form)
    : design_(design),
      form_(form),
      visible_(design.visible),
      enabled_(design.enabled),
      text_(design.text) {}

void Control::SetVisible(bool visible) {
    if (visible_ != visible) {
        visible_ = visible;
        form_.Changed(*this, Change::Visibility);
    }
}

void Control::SetEnabled(bool enabled) {
    if (enabled_ != enabled) {
        enabled_ = enabled;
        form_.Changed(*this, Change::Enabled);
    }
}

void Control::SetText(const std::wstring& text) {
    if (text_ != text) {
        text_ = text;
        if (visible_ || HasOwnWindow()) {
            form_.Changed(*this, Change::Text);
        }
    }
}

bool Control::CanHoldFocus() const {
    const bool focusable = design_.kind == Kind::CommandButton || design_.kind == Kind::TextBox;
    return focusable && visible_ && enabled_ && design_.tabIndex >= 0;
}

wchar_t Control::AccessKey() const {
    for (size_t i = 0; i + 1 < text_.size(); ++i) {
        if (text_[i] == L'&') {
            if (text_[i + 1] != L'&') {
                return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(text_[i + 1])));
            }
            ++i;  // "&&" shows one ampersand
        }
    }
    return 0;
}

bool Control::Windowed() const {
    switch (design_.kind) {
        case Kind::TextBox:
        case Kind::Animation:
        case Kind::CommandButton:
            return true;
        default:
            return false;
    }
}

bool Control::TakesMouse() const {
    switch (design_.kind) {
        case Kind::Shape:
        case Kind::Line:
        case Kind::Timer:
            return false;
        default:
            return visible_;
    }
}

Form::Form(const FormDesign& design, FormHost& host, FormSystem& system)
    : design_(design),
      host_(host),
      system_(system),
      standIn_(kStandInDesign, *this),
      standInAnimation_(standIn_, *this, system, kAnimationTimerBase) {
    for (const ControlDesign& control : design.controls) {
        controls_.push_back(std::make_unique<Control>(control, *this));
        if (control.kind == Kind::Animation) {
            const int timerId = kAnimationTimerBase + static_cast<int>(controls_.size());
            animations_[control.name] =
                std::make_unique<Animation>(*controls_.back(), *this, system, timerId);
        }
    }
}

Control& Form::operator[](std::string_view name) {
    const Control& found = std::as_const(*this)[name];
    if (&found == &standIn_) {
        FailDamaged(name);
    }
    return const_cast<Control&>(found);
}

const Control& Form::operator[](std::string_view name) const {
    for (const auto& control : controls_) {
        if (control->Name() == name) {
            return *control;
        }
    }
    return standIn_;
}

Animation& Form::AnimationOf(std::string_view name) {
    std::unique_ptr<Animation>* found = animations_.Find(name);
    if (found == nullptr) {
        FailDamaged(name);
        return standInAnimation_;
    }
    return **found;
}

const Animation* Form::AnimationOf(const Control& control) const {
    const std::unique_ptr<Animation>* found = animations_.Find(control.Name());
    return found == nullptr ? nullptr : found->get();
}

void Form::On(std::string_view target, Event event, Callback<void()> handler) {
    handlers_[{target, event}] = handler;
}

bool Form::Handles(std::string_view target, Event event) const {
    return handlers_.Contains({target, event});
}

void Form::Fire(std::string_view target, Event event) {
    if (ended_) {
        return;  // after the end no event reaches a handler
    }
    const Callback<void()>* found = handlers_.Find({target, event});
    if (found == nullptr) {
        return;
    }
    // A copy: a handler that adds handlers may move the ones held.
    const Callback<void()> handler = *found;
    // Each click is handled to its end before the next: a second click that a message box
    // or a program start lets through meanwhile is dropped, so a double click starts once.
    if (event == Event::Click) {
        if (inClick_) {
            return;
        }
        inClick_ = true;
        handler();
        inClick_ = false;
        if (closeRequested_ && !ended_) {
            End();
        }
    } else {
        handler();
    }
}

int Form::TimerIdOf(const Control& control) const {
    for (size_t i = 0; i < controls_.size(); ++i) {
        if (controls_[i].get() == &control) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

void Form::Load() {
    for (const auto& control : controls_) {
        if (control->Design().kind == Kind::Timer && control->Enabled()) {
            host_.StartTimer(TimerIdOf(*control), control->Design().intervalMs);
        }
    }
    Fire(design_.name, Event::Load);
}

void Form::Place(Callback<void()> place) {
    place_ = place;
    place_();
}

void Form::PlaceAgain() {
    if (place_) {
        place_();
    }
}

void Form::MouseMoved(int x, int y) {
    Fire(HitTest(x, y), Event::MouseMove);
}

void Form::MouseLeft() {
    Fire(design_.name, Event::MouseMove);
}

void Form::ButtonPressed(int x, int y) {
    pressedOn_ = HitTest(x, y);
}

// A click is a press and a release over the same control.
void Form::ButtonReleased(int x, int y) {
    const std::string_view target = HitTest(x, y);
    const bool click = target == pressedOn_;
    pressedOn_ = {};
    if (click) {
        Fire(target, Event::Click);
    }
}

// A tick may still come after KillTimer or the form's end: one already taken from the queue,
// or one that a message box's own loop dispatches.
void Form::TimerFired(int id) {
    if (ended_) {
        return;
    }
    for (const auto& [name, animation] : animations_) {
        if (animation->TimerId() == id) {
            animation->TimerFired();
            return;
        }
    }
    for (const auto& control : controls_) {
        if (TimerIdOf(*control) == id && control->Design().kind == Kind::Timer) {
            Fire(control->Name(), Event::Timer);
        }
    }
}

// A disabled or hidden button takes no click, whoever sends it.
void Form::ControlClicked(std::string_view name) {
    const Control& control = (*this)[name];
    if (control.Enabled() && control.Visible()) {
        Fire(name, Event::Click);
    }
}

std::vector<Control*> Form::TabOrder() const {
    std::vector<Control*> order;
    for (const auto& control : controls_) {
        if (control->CanHoldFocus()) {
            order.push_back(control.get());
        }
    }
    StableSort(order, [](const Control* a, const Control* b) {
        return a->Design().tabIndex < b->Design().tabIndex;
    });
    return order;
}

void Form::FocusFirst() {
    const std::vector<Control*> order = TabOrder();
    if (!order.empty()) {
        host_.FocusChild(*order.front());
    }
}

void Form::MoveFocus(bool backwards) {
    const std::string_view focused = host_.FocusedChild();
    if (focused.empty()) {
        FocusFirst();
    } else {
        FocusNextAfter((*this)[focused].Design().tabIndex, backwards);
    }
}

// The control that can hold the focus next after (or before) a tab index, wrapping round.
void Form::FocusNextAfter(int tabIndex, bool backwards) {
    const std::vector<Control*> order = TabOrder();
    if (order.empty()) {
        return;
    }
    if (backwards) {
        const auto before = std::find_if(order.rbegin(), order.rend(), [&](const Control* c) {
            return c->Design().tabIndex < tabIndex;
        });
        host_.FocusChild(before != order.rend() ? **before : *order.back());
    } else {
        const auto after = std::find_if(order.begin(), order.end(), [&](const Control* c) {
            return c->Design().tabIndex > tabIndex;
        });
        host_.FocusChild(after != order.end() ? **after : *order.front());
    }
}

bool Form::KeyPressed(Key key, bool shift) {
    if (ended_) {
        return true;
    }
    switch (key) {
        case Key::Tab:
            MoveFocus(shift);
            return true;
        case Key::Enter: {
            const std::string_view focused = host_.FocusedChild();
            if (focused.empty()) {
                PressDefaultLabel();
            } else if ((*this)[focused].Design().kind == Kind::CommandButton) {
                Fire(focused, Event::Click);
            }
            return true;
        }
        case Key::Space:
            if (!host_.FocusedChild().empty()) {
                return false;  // a focused button presses itself
            }
            PressDefaultLabel();
            return true;
        case Key::Escape:
            return true;  // no button of these windows is a cancel button
        default:
            return false;
    }
}

const Control* Form::DefaultLabel() const {
    const Control* found = nullptr;
    for (const auto& control : controls_) {
        const ControlDesign& design = control->Design();
        if (design.kind == Kind::Label && design.tabIndex >= 0 && control->Visible() &&
            control->Enabled() && Handles(design.name, Event::Click) &&
            (found == nullptr || design.tabIndex < found->Design().tabIndex)) {
            found = control.get();
        }
    }
    return found;
}

const Control* Form::FocusedLabel() const {
    return host_.FocusedChild().empty() ? DefaultLabel() : nullptr;
}

void Form::KeyWentDown() {
    strokePressed_ = false;
    ShowFocusCue();
}

void Form::SetSettings(const UserSettings& settings) {
    settings_ = settings;
    if (settings.keyboardCues) {
        ShowFocusCue();
    }
}

void Form::ShowFocusCue() {
    if (!focusCue_) {
        focusCue_ = true;
        if (const Control* label = FocusedLabel()) {
            host_.Invalidate(RectOf(*label));
        }
    }
}

// Labels take no focus of the system's, so a window whose only active element is a label is
// worked from the keyboard through this.
void Form::PressDefaultLabel() {
    if (const Control* pressed = DefaultLabel()) {
        Fire(pressed->Name(), Event::Click);
    }
}

bool Form::AccessKeyPressed(wchar_t character, wchar_t keyLetter) {
    if (strokePressed_) {
        return true;
    }
    for (const wchar_t letter : {character, keyLetter}) {
        const auto wanted = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(letter)));
        if (wanted == 0) {
            continue;  // the key stands for no Latin letter or digit
        }
        for (const auto& control : controls_) {
            if (control->HasOwnWindow() && control->CanHoldFocus() &&
                control->AccessKey() == wanted) {
                host_.FocusChild(*control);
                strokePressed_ = true;
                Fire(control->Name(), Event::Click);
                return true;
            }
        }
    }
    return false;
}

// A focused button that is disabled or hidden hands the focus on to the next in tab order,
// as a dialog would.
void Form::Changed(const Control& control, Change change) {
    if (&control == &standIn_) {
        return;
    }
    if (!control.HasOwnWindow()) {
        host_.Invalidate(RectOf(control));
        host_.Announce(control, change);
        if (change == Change::Visibility && &control == FocusedLabel()) {
            host_.Announce(control, Change::Focus);
        }
        return;
    }
    const bool losesFocus = !control.CanHoldFocus() && host_.FocusedChild() == control.Name();
    host_.UpdateChild(control);
    if (losesFocus) {
        FocusNextAfter(control.Design().tabIndex, false);
    }
}

void Form::Hide() {
    host_.HideWindow();
}

void Form::ShowMessage(const std::wstring& text, const std::wstring& title, MessageIcon icon) {
    host_.ShowMessage(text, title, icon, BoxReading());
}

Reading Form::BoxReading() const {
    return system_.ReadsRightToLeft() ? Reading::RightToLeft : Reading::LeftToRight;
}

void Form::Stop() {
    ended_ = true;
    for (const auto& control : controls_) {
        if (control->Design().kind == Kind::Timer) {
            host_.StopTimer(TimerIdOf(*control));
        }
    }
    for (const auto& [name, animation] : animations_) {
        host_.StopTimer(animation->TimerId());
    }
}

void Form::End() {
    Stop();
    host_.EndProgram();
}

void Form::FailDamaged(std::string_view missing) {
    Fail(base::Error(base::Sentence(Text(texts::kProgramDamaged), {design_.name, missing})));
}

void Form::Fail(base::Error error) {
    if (!failure_) {
        failure_ = std::move(error);
    }
    Stop();
}

void Form::CloseRequested() {
    if (inClick_) {
        closeRequested_ = true;
    } else if (!ended_) {
        End();
    }
}

// A shown shape takes no mouse input of its own, yet hands the point to the window's
// background rather than to whatever lies beneath it.
std::string_view Form::HitTest(int x, int y) const {
    const auto hit = [&](bool windowed) -> const Control* {
        for (const auto& control : controls_) {
            if (control->Windowed() != windowed || !RectOf(*control).Contains(x, y)) {
                continue;
            }
            if (control->TakesMouse()) {
                return control.get();
            }
            if (control->Design().kind == Kind::Shape && control->Visible()) {
                return nullptr;
            }
        }
        return nullptr;
    };
    const Control* control = hit(true);
    control = control != nullptr ? control : hit(false);
    return control != nullptr ? control->Name() : design_.name;
}

std::vector<const Control*> Form::PaintOrder() const {
    std::vector<const Control*> order;
    for (const bool windowed : {false, true}) {
        for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
            const Control& control = **it;
            if (control.Windowed() == windowed && control.Visible() &&
                control.Design().kind != Kind::Timer) {
                order.push_back(&control);
            }
        }
    }
    return order;
}

}  // namespace forms

#include "form.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace forms {
namespace {

constexpr int kAnimationTimerBase = 1000;

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
        form_.Host().Invalidate(design_.rect);
    }
}

void Control::SetEnabled(bool enabled) {
    if (enabled_ != enabled) {
        enabled_ = enabled;
        form_.Host().Invalidate(design_.rect);
    }
}

void Control::SetText(const std::wstring& text) {
    if (text_ != text) {
        text_ = text;
        if (visible_) {
            form_.Host().Invalidate(design_.rect);
        }
    }
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

Form::Form(const FormDesign& design, FormHost& host) : design_(design), host_(host) {
    for (const ControlDesign& control : design.controls) {
        controls_.push_back(std::make_unique<Control>(control, *this));
        if (control.kind == Kind::Animation) {
            const int timerId = kAnimationTimerBase + static_cast<int>(controls_.size());
            animations_[control.name] =
                std::make_unique<Animation>(*controls_.back(), host, timerId);
        }
    }
}

Control& Form::operator[](std::string_view name) {
    return const_cast<Control&>(std::as_const(*this)[name]);
}

const Control& Form::operator[](std::string_view name) const {
    for (const auto& control : controls_) {
        if (control->Name() == name) {
            return *control;
        }
    }
    throw std::out_of_range("no control " + std::string(name) + " on " + std::string(design_.name));
}

Animation& Form::AnimationOf(std::string_view name) {
    return *animations_.at(name);
}

const Animation* Form::AnimationOf(const Control& control) const {
    const auto found = animations_.find(control.Name());
    return found == animations_.end() ? nullptr : found->second.get();
}

void Form::On(std::string_view target, Event event, std::function<void()> handler) {
    handlers_[{std::string(target), event}] = std::move(handler);
}

void Form::Fire(std::string_view target, Event event) {
    if (ended_) {
        return;  // after the end no event reaches a handler
    }
    const auto found = handlers_.find({std::string(target), event});
    if (found != handlers_.end()) {
        found->second();
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

void Form::MouseMoved(int x, int y) {
    Fire(HitTest(x, y), Event::MouseMove);
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

void Form::TimerFired(int id) {
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

void Form::Hide() {
    host_.HideWindow();
}

void Form::ShowMessage(const std::wstring& text, const std::wstring& title, MessageIcon icon) {
    host_.ShowMessage(text, title, icon);
}

void Form::End() {
    ended_ = true;
    host_.EndProgram();
}

std::string_view Form::HitTest(int x, int y) const {
    const auto hit = [&](bool windowed) -> const Control* {
        for (const auto& control : controls_) {
            if (control->Windowed() == windowed && control->TakesMouse() &&
                control->Design().rect.Contains(x, y)) {
                return control.get();
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

#pragma once

#include <QCheckBox>
#include <QRadioButton>

#include <utility>

// Whether the last click of a check box or radio button changed its state.
// The dialog runs a toggle's handler when its state changes, however it
// changes (mouse, Space, an accessibility action); a click that changes
// nothing, on the checked radio of a group, is still a click the handler
// answers, and this tells the two apart.
class StateChangingClicks {
public:
    virtual ~StateChangingClicks() = default;
    // True once after each click that changed the state.
    bool takeStateChangingClick() { return std::exchange(stateChangingClick_, false); }

protected:
    void noteStateChangingClick() { stateChangingClick_ = true; }

private:
    bool stateChangingClick_ = false;
};

template <typename Base>
class ToggleButton : public Base, public StateChangingClicks {
public:
    using Base::Base;

protected:
    // Called by a click only when the click changes the state.
    void nextCheckState() override
    {
        noteStateChangingClick();
        Base::nextCheckState();
    }
};

using ToggleCheckBox = ToggleButton<QCheckBox>;
using ToggleRadioButton = ToggleButton<QRadioButton>;

// Marks the logic setting control states for as long as it lives.
class SettingControls {
public:
    explicit SettingControls(int& depth) : depth_(depth) { ++depth_; }
    ~SettingControls() { --depth_; }
    SettingControls(const SettingControls&) = delete;
    SettingControls& operator=(const SettingControls&) = delete;

private:
    int& depth_;
};

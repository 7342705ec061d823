// What the editor's own switches ask of the editor beyond telling it their
// value: storing the metering set-up, and setting a parameter directly (the
// meter mode switch sets two of them).
#pragma once

#include <cstdint>

#include "gui/CControl.h"

namespace vexal {

class EditorActions {
public:
    virtual ~EditorActions() = default;
    virtual void saveMeteringPrefs() = 0;
    // Sets the parameter and tells the host, as a control change does.
    virtual void setParameterAutomated(int32_t index, float value) = 0;
};

// The listener's editor actions; null for a control without an editor.
inline EditorActions* editorActionsOf(IControlListener* listener) {
    return dynamic_cast<EditorActions*>(listener);
}

}  // namespace vexal

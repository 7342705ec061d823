// The effect's editor object as the effect and its preset store see it: it
// shows program names and the bank in the preset bar, shows the latency, and
// is the editor the host opens. The plug-in's entry hands the effect a
// factory for it; without one the effect has no editor and every update is
// skipped.
#pragma once

#include <cstdint>

#include "vst/AEffEditor.h"

namespace vexal {

class EditorLink {
public:
    virtual ~EditorLink() = default;

    // The editor the host talks to (effEditOpen, effEditIdle, ...).
    virtual vst::AEffEditor* hostEditor() = 0;
    virtual void showProgramName(const char* name) = 0;
    // After a bank load: every program's title, with program selected.
    virtual void showBankInMenu(const bool* named, int32_t selected) = 0;
    virtual void setLatency(int32_t samples) = 0;
};

}  // namespace vexal

// The render view's keys and mouse actions in one table: the view's key handling maps keys
// through it and the help window lists it, so the two can't disagree.
#pragma once

#include <QtCore/qnamespace.h>
#include <span>

#include "view/view.h"

namespace App {

// Frames the model again: turn, pan and zoom back to where a model opens. The view handles it
// itself, as the view core has no key for it.
inline constexpr int kReframeKey = Qt::Key_F;

struct ViewKeyInfo {
    int qtKey;            // Qt::Key, or 0 for a mouse action
    View::Key viewKey;    // what the view core does with it; Other when the frame handles it
    const char* keyText;  // how the help names a mouse action (untranslated); null for a key
    const char* action;   // what it does (untranslated, in the ViewKeys context)
};

// Every key the view answers with no modifier held, then every mouse action.
std::span<const ViewKeyInfo> ViewKeys();
// The view core's key for a Qt key, or Other.
View::Key ViewKeyFor(int qtKey);

}  // namespace App

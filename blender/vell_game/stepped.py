"""Long work as steps that each show in Blender's status bar.

Blender draws its window between events only: in a window, an operator made of steps runs one
step per timer event, with the next step's text in the status bar (and the cursor's progress)
while it waits. Run from a script or in the background, the steps run at once, in order.
"""

import bpy

from . import vell_cli

# The failures a step reports to the user (the message whole) instead of raising them.
REPORTED = (vell_cli.VellError, RuntimeError)


class SteppedOperator:
    """A mixin of bpy.types.Operator: start_steps() from execute or invoke; the subclass
    gives steps_done(context) (returns the operator's result) and steps_failed()."""

    def start_steps(self, context, steps):
        """steps: (text, function of the context) pairs. Returns the operator's result."""
        self._steps = list(steps)
        self._count = len(self._steps)
        if bpy.app.background or context.window is None:
            try:
                for _text, step in self._steps:
                    step(context)
            except REPORTED as failure:
                return self._failed(failure)
            return self.steps_done(context)
        wm = context.window_manager
        wm.progress_begin(0, self._count)
        self._timer = wm.event_timer_add(0.01, window=context.window)
        wm.modal_handler_add(self)
        self._show(context)
        return {"RUNNING_MODAL"}

    def modal(self, context, event):
        if event.type != "TIMER":
            return {"RUNNING_MODAL"}
        _text, step = self._steps.pop(0)
        try:
            step(context)
        except REPORTED as failure:
            self._end(context)
            return self._failed(failure)
        if self._steps:
            self._show(context)
            return {"RUNNING_MODAL"}
        self._end(context)
        return self.steps_done(context)

    def _failed(self, failure):
        self.report({"ERROR"}, str(failure))
        self.steps_failed()
        return {"CANCELLED"}

    def _show(self, context):
        context.window_manager.progress_update(self._count - len(self._steps))
        if context.workspace is not None:
            context.workspace.status_text_set("Vell: " + self._steps[0][0] + "...")

    def _end(self, context):
        wm = context.window_manager
        wm.event_timer_remove(self._timer)
        wm.progress_end()
        if context.workspace is not None:
            context.workspace.status_text_set(None)

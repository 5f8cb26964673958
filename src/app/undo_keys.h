// The undo and redo keys in a text field. Qt fields take Ctrl+Z for their own undo even when
// they have nothing of their own to take back, so the program's undo never hears it once the
// focus sits in a field. Here a field keeps the keys only while it holds typing of its own;
// otherwise they are the program's.
#pragma once

class QWidget;

// Watches every text field below `root` (as it is now).
void LetUndoKeysThroughIdleFields(QWidget* root);

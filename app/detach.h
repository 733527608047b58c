// Destroying a shown panel takes the focus from its fields, whose signals
// would then call the panel's slots when only its base part is left. Its
// destructor cuts those connections first.
#pragma once

class QObject;

// Disconnects every descendant of root from receiver.
void detachChildren(const QObject* root, const QObject* receiver);

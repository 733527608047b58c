#include "app/detach.h"

#include <QObject>

void detachChildren(const QObject* root, const QObject* receiver)
{
    for (QObject* c : root->findChildren<QObject*>())
        QObject::disconnect(c, nullptr, receiver, nullptr);
}

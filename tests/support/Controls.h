#pragma once
// Reaches a control of the window by its object name, as a test sees the
// window from outside: a missing or renamed control stops the test at once.
#include <QObject>
#include <QString>

#include <memory>

template <class T> T* Control(const QObject* root, const char* name) {
    T* control = root->findChild<T*>(QString::fromLatin1(name));
    if (!control)
        qFatal("No control \"%s\" of the expected kind", name);
    return control;
}

template <class T, class Owner> T* Control(const std::unique_ptr<Owner>& root, const char* name) {
    return Control<T>(root.get(), name);
}

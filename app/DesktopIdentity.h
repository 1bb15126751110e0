#pragma once
// How the desktop knows the configurator: its desktop entry and its icon.

#include <QString>

/// The reverse-DNS id: the name of the desktop entry, the metainfo and the themed icon.
QString DesktopAppId();

/// Names the application after its desktop entry and gives every window the application
/// icon (the installed theme icon, else the one built into the program).
void SetDesktopIdentity();

#pragma once

#include <QString>

// What the installer says to its user, in the window's alerts and on the command line alike.
namespace ALMessage {
inline const QString kErrorTitle = QStringLiteral("Error");
inline const QString kOK = QStringLiteral("OK");
inline const QString kNoAcrobatMessage =
    QStringLiteral("Acrobat is not found, can't install Foldwise here. Consider using standalone version instead.");
inline const QString kRunningMessage = QStringLiteral("Please close Acrobat before installing or uninstalling Foldwise.");
inline const QString kOldVersionFailedMessage = QStringLiteral(
    "Installation failed, probably due to insufficient writing permissions. Please try again with admin password.");
inline const QString kRunAcrobatFirstMessage = QStringLiteral("Please run Acrobat at least once before installing Foldwise.");
inline const QString kNoAccessMessage =
    QStringLiteral("Can't perform operation, probably there is no access to the selected location");
inline const QString kPasswordRequired = QStringLiteral("The administrator password is required to do this.");
inline const QString kBusyMessage = QStringLiteral(
    "Another run of the installer is installing or uninstalling Foldwise right now. Please try again when it is done.");
// Endings of the reason why root, acting by itself, keeps out of a folder that someone else controls.
inline const QString kRootWillNotInstallThere =
    QStringLiteral(", so root will not install there. Its owner can install it with their own rights, or an "
                   "administrator can make the folder root's alone.");
inline const QString kRootWillNotRemoveThere =
    QStringLiteral(", so root will not remove the copy there. Its owner can remove it with their own rights.");
inline const QString kRootWillNotReplaceThere =
    QStringLiteral(", so root will not replace the copy there. Its owner can upgrade it with their own rights, or an "
                   "administrator can remove it and install again.");
}  // namespace ALMessage

// What the folder tree's commands do on disk and on the clipboard: open a folder in the file
// manager, rename it, copy it as a file URL, paste copied files and folders into a folder, move a
// folder to the desktop's trash and create a new folder. Nothing is replaced or deleted without a
// question, and a deleted folder always goes to the trash, never away for good. Paths are the
// file system's bytes (file_names.h); a new name typed by the user is given as its UTF-8 bytes.
#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

class QWidget;

namespace vk {

// Opens the folder in the desktop's file manager through the launcher seam. On failure shows
// "Der Ordner \"<path>\" konnte nicht geöffnet werden." and returns false.
bool OpenFolder(const QByteArray& path, QWidget* parent);

// Renames the folder `path` to `newName` within its parent. Refuses (nothing changes) an empty
// name, "." and "..", a name holding "/" and a name that already exists there; the old name
// itself is accepted and changes nothing. Returns the new path, or nothing when refused or
// when the file system fails.
std::optional<QByteArray> RenameFolder(const QByteArray& path, const QByteArray& newName);

// Puts the folder on the clipboard as file managers do: text/uri-list, the GNOME list
// ("copy\n<url>") and the path as plain text.
void CopyFolderToClipboard(const QByteArray& path);
// The local files and folders the clipboard holds as file URLs (empty when none), each URL's
// percent-encoded bytes decoded to the path's bytes.
QList<QByteArray> ClipboardFiles();

// Copies every file and folder on the clipboard into `folder`, folders with all they hold. An
// existing file or folder of the same name is replaced (a folder: merged, its clashing files
// replaced) only after a Yes to a question; a No skips it. A folder pasted where it already is
// gets a copy named "<name> (Kopie)", "<name> (Kopie 2)", ... A folder is never pasted into
// itself. Every failure is shown and the rest goes on. Returns false when the clipboard held
// no files (nothing happened), true otherwise.
bool PasteClipboardInto(const QByteArray& folder, QWidget* parent);

// Asks "Den Ordner \"<path>\" in den Papierkorb verschieben?"; on Yes moves it to the desktop's
// trash. Returns true when it went there; false on No and when the trash failed (then the
// folder stays and "Der Ordner \"<path>\" konnte nicht in den Papierkorb verschoben werden."
// is shown). The trash records the path's bytes, so restoring gives the folder its own name.
bool MoveFolderToTrash(const QByteArray& path, QWidget* parent);

// Creates "Neuer Ordner" in `folder`, or the first free of "Neuer Ordner (2)", "(3)", ...
// Returns its path; empty after showing "Der Ordner \"<path>\" konnte nicht angelegt werden."
QByteArray CreateNewFolder(const QByteArray& folder, QWidget* parent);

}  // namespace vk

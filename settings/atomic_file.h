// Replacing a file so that a failed save never destroys the previous one.
#pragma once

#include <QByteArray>
#include <QString>

// Writes 'bytes' to a temporary file in the folder of 'path', flushes it to
// disk and renames it over 'path'. A symbolic link is followed: the file it
// points to is replaced and the link stays. An existing file keeps its
// permission bits (and, where allowed, its owner).
//
// Refused, with false and nothing changed, when 'path' exists but is not a
// regular file, or is read-only: the process may not write it, or it lacks
// the write permission bit of the owner when the process owns it (checked
// explicitly, so the refusal holds for a privileged user too; a privileged
// user who does not own it needs any write bit). A file writable through its
// group or other bits is not refused. False also when the temporary file
// cannot be created, written, flushed or renamed; the temporary file is then
// removed and the old file is left as it was.
//
// In a folder that cannot be written, an existing file that can is written
// in place instead: true when its new content is written, cut to length and
// flushed to disk. A disk too full for a longer content refuses before the
// old bytes are touched (false, old file whole); a write that fails midway
// gives false with the file partly new.
bool WriteFileAtomically(const QString &path, const QByteArray &bytes);

// Whether WriteFileAtomically would refuse 'path' as read-only or not a
// regular file (a missing file is writable).
bool IsExistingFileReadOnly(const QString &path);

// Renames 'path' (the link itself when it is a symbolic link) to the first
// free name of 'path' + suffix, 'path' + suffix + ".1", ".2", ...; an existing
// file is never overwritten. Returns the new name, or an empty string when
// the rename failed and 'path' is still there.
QString MoveAside(const QString &path, const QString &suffix);

// Removes the temporary files that a save of 'path' left behind when the
// program was killed before its rename: regular files named
// ".<file name>.<8 hex digits>.tmp" beside 'path' (and beside the file a
// link at 'path' points to). Nothing else is touched.
void RemoveLeftoverTemporaryFiles(const QString &path);

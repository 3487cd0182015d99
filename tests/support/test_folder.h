// A test's own temporary folder, with files written and read whole. Test
// fixtures take it as a base, so the folder exists before their members.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

struct TTestFolder {
  QString PathOf(const QString &name) const { return QDir(folder.path()).filePath(name); }

  // Writes 'bytes' as the file 'name' in the folder; its path.
  QString Write(const QString &name, const QByteArray &bytes) const {
    const QString path = PathOf(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
  }

  // The whole file at 'path'; empty when it cannot be read.
  static QByteArray Read(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  QTemporaryDir folder;
};

#include "standard_error_presenter.h"

#include <QStringList>
#include <cstdio>

void TStandardErrorPresenter::Show(const TMessageDialogRequest &request, bool *) {
  QStringList parts{QStringLiteral("Sorvanel")};
  for (const QString &part : {request.caption, request.headline, request.message}) {
    if (!part.isEmpty()) {
      parts.append(part);
    }
  }
  const QByteArray line = parts.join(QStringLiteral(": ")).toLocal8Bit() + '\n';
  std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stderr);
  std::fflush(stderr);
}

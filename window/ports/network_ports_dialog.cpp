#include "network_ports_dialog.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "close_on_signals.h"
#include "message_dialog.h"
#include "network_address.h"
#include "open_error_dialogs.h"
#include "port_thread.h"
#include "text_table.h"

namespace {

constexpr int kNameColumn = 0;
constexpr int kUrlColumn = 1;
// Names a message lists before it only counts the rest.
constexpr int kMaxNamesListed = 10;
const QColor kProblemColor(0xC0, 0x00, 0x00);

QString CellText(const QTableWidget *table, int row, int column) {
  const QTableWidgetItem *item = table->item(row, column);
  return item != nullptr ? item->text() : QString();
}

// Names compare as the settings file compares keys.
QString NameKey(const QString &name) {
  return name.trimmed().toCaseFolded();
}

}  // namespace

TForm_NetworkPorts::TForm_NetworkPorts(const TNetworkPorts &ports, QWidget *parent)
    : QDialog(parent),
      table_(new QTableWidget(0, 2, this)),
      addButton_(new QPushButton(GetText(kTextNetworkPortAdd), this)),
      removeButton_(new QPushButton(GetText(kTextNetworkPortRemove), this)),
      tryButton_(new QPushButton(GetText(kTextNetworkPortTry), this)),
      buttons_(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this)),
      status_(new QLabel(this)) {
  setObjectName(QStringLiteral("Form_NetworkPorts"));
  setWindowTitle(GetText(kTextNetworkPortsTitle));
  table_->setHorizontalHeaderLabels({GetText(kTextNetworkPortName), GetText(kTextNetworkPortUrl)});
  table_->horizontalHeader()->setSectionResizeMode(kNameColumn, QHeaderView::Interactive);
  table_->horizontalHeader()->setSectionResizeMode(kUrlColumn, QHeaderView::Stretch);
  table_->setColumnWidth(kNameColumn, 140);
  table_->verticalHeader()->hide();
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  buttons_->button(QDialogButtonBox::Ok)->setText(GetText(kTextButtonOk));
  buttons_->button(QDialogButtonBox::Cancel)->setText(GetText(kTextButtonCancel));
  status_->setWordWrap(true);
  status_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  auto *rowButtons = new QHBoxLayout;
  rowButtons->addWidget(addButton_);
  rowButtons->addWidget(removeButton_);
  rowButtons->addStretch();
  rowButtons->addWidget(tryButton_);
  auto *layout = new QVBoxLayout(this);
  layout->addWidget(table_);
  layout->addLayout(rowButtons);
  layout->addWidget(status_);
  layout->addWidget(buttons_);
  resize(520, 300);

  for (const TNetworkPort &port : ports) {
    AppendRow(port.name, port.url);
  }
  connect(addButton_, &QPushButton::clicked, this, &TForm_NetworkPorts::AddRow);
  connect(removeButton_, &QPushButton::clicked, this, &TForm_NetworkPorts::RemoveSelectedRow);
  connect(tryButton_, &QPushButton::clicked, this, &TForm_NetworkPorts::TrySelectedPort);
  connect(table_, &QTableWidget::itemChanged, this, &TForm_NetworkPorts::CheckRows);
  connect(table_, &QTableWidget::itemSelectionChanged, this, &TForm_NetworkPorts::CheckRows);
  connect(buttons_, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  if (table_->rowCount() > 0) {
    table_->selectRow(0);
  }
  CheckRows();
}

QPushButton *TForm_NetworkPorts::OkButton() const {
  return buttons_->button(QDialogButtonBox::Ok);
}

TNetworkPorts TForm_NetworkPorts::Ports() const {
  TNetworkPorts ports;
  for (int row = 0; row < table_->rowCount(); ++row) {
    ports.push_back({CellText(table_, row, kNameColumn).trimmed(),
                     CellText(table_, row, kUrlColumn).trimmed()});
  }
  return ports;
}

QHash<QString, int> TForm_NetworkPorts::NameCounts() const {
  QHash<QString, int> counts;
  for (int row = 0; row < table_->rowCount(); ++row) {
    ++counts[NameKey(CellText(table_, row, kNameColumn))];
  }
  return counts;
}

QString TForm_NetworkPorts::RowProblem(int row) const {
  return RowProblem(row, NameCounts());
}

QString TForm_NetworkPorts::RowProblem(int row, const QHash<QString, int> &nameCounts) const {
  const QString name = CellText(table_, row, kNameColumn).trimmed();
  if (!IsValidNetworkPortName(name)) {
    return GetText(kTextNetworkPortInvalidName);
  }
  if (nameCounts.value(NameKey(name)) > 1) {
    return GetText(kTextNetworkPortDuplicateName);
  }
  const QString url = CellText(table_, row, kUrlColumn).trimmed();
  // The settings file could give it back only cut short.
  if (url.size() > kMaxNetworkPortUrlLength) {
    return GetText(kTextNetworkPortUrlTooLong).arg(kMaxNetworkPortUrlLength);
  }
  if (!ParseNetworkUrl(url)) {
    return GetText(kTextNetworkInvalidAddress);
  }
  return QString();
}

void TForm_NetworkPorts::AddRow() {
  AppendRow(QString(), QStringLiteral("rfc2217://"));
  const int row = table_->rowCount() - 1;
  table_->selectRow(row);
  table_->editItem(table_->item(row, kNameColumn));
}

void TForm_NetworkPorts::RemoveSelectedRow() {
  const int row = table_->currentRow();
  if (row >= 0) {
    table_->removeRow(row);
  }
  CheckRows();
}

void TForm_NetworkPorts::TrySelectedPort() {
  const int row = table_->currentRow();
  if (row < 0) {
    return;
  }
  status_->setText(GetText(kTextNetworkPortTrying));
  tryButton_->setEnabled(false);
  status_->repaint();
  const QString url = CellText(table_, row, kUrlColumn).trimmed();
  std::optional<TServerCertificate> certificate;
  const TOpenFailure failure =
      TryNetworkPort(url, TOpenStop(TerminationRequestedFd()), &certificate);
  tryButton_->setEnabled(true);
  status_->setText(failure.Failed() ? OpenFailureText(failure) : GetText(kTextNetworkPortTryOk));
  // A wrong name, an expired certificate or another pin is never waved
  // through: only a certificate that nothing vouches for may be pinned.
  if (failure.kind == TOpenFailure::TKind::CertificateNotTrusted && certificate) {
    OfferToPin(row, url, failure, *certificate);
  }
}

void TForm_NetworkPorts::OfferToPin(int row, const QString &url, const TOpenFailure &failure,
                                    const TServerCertificate &certificate) {
  const QString details = GetText(kTextTlsCertificateDetails)
                              .arg(certificate.subject, certificate.issuer, certificate.notBefore,
                                   certificate.notAfter, FingerprintText(certificate.sha256));
  bool pin = false;
  Luvamsg_ShowDialog(kMessageDialogIconQuestion, GetText(kTextTlsCertificateTitle),
                     OpenFailureText(failure), details, kMessageDialogButtonOk,
                     GetText(kTextTlsPinCertificate), pin);
  if (!pin || table_->item(row, kUrlColumn) == nullptr) {
    return;
  }
  table_->item(row, kUrlColumn)->setText(WithPinnedFingerprint(url, certificate.sha256));
  status_->setText(GetText(kTextTlsCertificatePinned));
}

void TForm_NetworkPorts::AppendRow(const QString &name, const QString &url) {
  const QSignalBlocker quiet(table_);
  const int row = table_->rowCount();
  table_->insertRow(row);
  table_->setItem(row, kNameColumn, new QTableWidgetItem(name));
  table_->setItem(row, kUrlColumn, new QTableWidgetItem(url));
}

// Marks the rows with a problem, tells the first one (the selected row's
// first) and offers OK only when there is none.
void TForm_NetworkPorts::CheckRows() {
  const QSignalBlocker quiet(table_);
  QString shown;
  bool allSound = true;
  const QHash<QString, int> nameCounts = NameCounts();
  for (int row = 0; row < table_->rowCount(); ++row) {
    const QString problem = RowProblem(row, nameCounts);
    allSound = allSound && problem.isEmpty();
    if (!problem.isEmpty() && (shown.isEmpty() || row == table_->currentRow())) {
      shown = problem;
    }
    for (const int column : {kNameColumn, kUrlColumn}) {
      if (QTableWidgetItem *item = table_->item(row, column)) {
        item->setForeground(problem.isEmpty() ? palette().text() : QBrush(kProblemColor));
        item->setToolTip(problem);
      }
    }
  }
  status_->setText(shown);
  OkButton()->setEnabled(allSound);
  const bool selected = table_->currentRow() >= 0;
  removeButton_->setEnabled(selected);
  tryButton_->setEnabled(selected && RowProblem(table_->currentRow(), nameCounts).isEmpty());
}

bool EditNetworkPorts(TNetworkPorts &ports, QWidget *parent) {
  TForm_NetworkPorts dialog(ports, parent);
  if (dialog.exec() != QDialog::Accepted) {
    return false;
  }
  ports = dialog.Ports();
  return true;
}

void ShowRefusedNetworkPorts(const QString &settingsFile, const QStringList &names) {
  if (names.isEmpty()) {
    return;
  }
  QString message = GetText(kTextNetworkPortsRefused).arg(kMaxNetworkPortUrlLength);
  for (const QString &name : names.mid(0, kMaxNamesListed)) {
    message += QLatin1Char('\n') + name;
  }
  if (names.size() > kMaxNamesListed) {
    message += QLatin1Char('\n') + GetText(kTextAndMore).arg(names.size() - kMaxNamesListed);
  }
  Luvamsg_ShowDialog(kMessageDialogIconError, GetText(kTextError),
                     QFileInfo(settingsFile).fileName(), message, kMessageDialogButtonOk);
}

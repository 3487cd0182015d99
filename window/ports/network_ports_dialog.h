// The network ports dialog, opened from the port menu: a table of the named
// network ports (name and URL) to add, edit in place and remove, with a
// button that tries the selected port's connection. Every row is checked as
// it is typed: a name the menu can list and no other row has (letter case
// ignored, as the settings file reads keys), and a network port URL
// (network_address.h) of at most kMaxNetworkPortUrlLength characters. OK is
// offered only while every row is sound. Checking all rows is linear in
// their number.
//
// Trust on first use, never silently: when the try meets a TLS server whose
// certificate nothing vouches for, the dialog shows the certificate
// (subject, issuer, validity, SHA-256 fingerprint) and offers to pin it;
// only when the user accepts does fingerprint=sha256:… go into the row's
// URL.
#pragma once

#include <QDialog>
#include <QHash>
#include <QStringList>

#include "network_ports.h"
#include "open_failure.h"
#include "tls_transport.h"

class QDialogButtonBox;
class QLabel;
class QPushButton;
class QTableWidget;

class TForm_NetworkPorts : public QDialog {
  Q_OBJECT

 public:
  explicit TForm_NetworkPorts(const TNetworkPorts &ports, QWidget *parent = nullptr);

  // The rows as they stand, in table order.
  TNetworkPorts Ports() const;
  // What is wrong with row 'row', or an empty text when it is sound.
  QString RowProblem(int row) const;

  QTableWidget *Table() const { return table_; }
  QPushButton *TryButton() const { return tryButton_; }
  QPushButton *OkButton() const;
  QLabel *StatusLabel() const { return status_; }

  void AddRow();
  void RemoveSelectedRow();
  void TrySelectedPort();

 private:
  void AppendRow(const QString &name, const QString &url);
  // How many rows have each name (by NameKey).
  QHash<QString, int> NameCounts() const;
  QString RowProblem(int row, const QHash<QString, int> &nameCounts) const;
  void CheckRows();
  void OfferToPin(int row, const QString &url, const TOpenFailure &failure,
                  const TServerCertificate &certificate);

  QTableWidget *table_;
  QPushButton *addButton_;
  QPushButton *removeButton_;
  QPushButton *tryButton_;
  QDialogButtonBox *buttons_;
  QLabel *status_;
};

// Shows the dialog with 'ports'; on OK puts the edited list into 'ports'
// and returns true.
bool EditNetworkPorts(TNetworkPorts &ports, QWidget *parent);

// Tells the user, naming the settings file, which network ports were not
// taken when it was read (TProgramSettings::RefusedNetworkPorts); nothing
// when there are none.
void ShowRefusedNetworkPorts(const QString &settingsFile, const QStringList &names);

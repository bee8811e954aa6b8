// The window's Backup menu: the printer's settings, WiFi and Bluetooth
// values saved to a file, restored from one and verified against one, by
// the same steps and in the same file format as deveder-cli's backup,
// restore and verify. The pages run over controls of their own in memory;
// the window's pages are left as they are.
#pragma once

#include <QString>
#include <memory>

class QPushButton;

namespace deveder {

class CDEVederDlg;

class BackupMenu {
 public:
  explicit BackupMenu(CDEVederDlg& window);
  // The menu's button, under the pages.
  QPushButton* Button() const { return button_; }

  // Each asks for the file, then runs as one port action. The answer is a
  // message box and the status line.
  void Save();
  void Restore();
  void Verify();

 private:
  // The file the user chose; empty when cancelled.
  QString ChooseFile(bool save) const;
  void SaveTo(const QString& path);
  void RestoreFrom(const QString& path);
  void VerifyAgainst(const QString& path);
  void Tell(const QString& text, const QString& details = {}) const;

  CDEVederDlg& window_;
  QPushButton* button_ = nullptr;
};

}  // namespace deveder

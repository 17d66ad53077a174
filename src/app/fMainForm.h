#pragma once

#include <QMainWindow>

// The program's one top-level window.
class TF_MainForm : public QMainWindow {
  Q_OBJECT

 public:
  explicit TF_MainForm(QWidget* parent = nullptr);
};

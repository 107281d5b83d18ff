#include "bench/mainwindow.h"

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Ambertrace — By Quorlen"));
    setCentralWidget(new QWidget(this));
}

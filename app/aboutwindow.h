#ifndef ABOUTWINDOW_H
#define ABOUTWINDOW_H

#include <QDialog>

QT_BEGIN_NAMESPACE
namespace Ui
{
class AboutWindow;
}
QT_END_NAMESPACE

// The About dialog: program name, maker, icon credit and the "About Qt" button. Window-modal; the
// caller runs it with exec() and destroys it afterwards.
class AboutWindow final : public QDialog
{
    Q_OBJECT

public:
    explicit AboutWindow(QWidget* parent = nullptr);
    ~AboutWindow() override;

private slots:
    void on_btnAboutQt_clicked();

private:
    Ui::AboutWindow* ui;
};

#endif // ABOUTWINDOW_H

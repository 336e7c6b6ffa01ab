#pragma once
// Modal message boxes. The texts use CR or CR LF as line breaks, as the rest of the program does.

#include <QString>

class QWidget;

namespace tesvaron {

class MessageBoxSeam
{
public:
    enum class Icon { None, Information, Exclamation };
    virtual ~MessageBoxSeam() = default;
    // Shows the box with a single OK button and returns when the user has closed it.
    virtual void show(QWidget* parent, const QString& title, const QString& text, Icon icon) = 0;
    // Asks a yes/no question, No being the default; true for Yes.
    virtual bool ask(QWidget* parent, const QString& title, const QString& text) = 0;
    virtual void beep() = 0;
};

class QtMessageBox : public MessageBoxSeam
{
public:
    void show(QWidget* parent, const QString& title, const QString& text, Icon icon) override;
    bool ask(QWidget* parent, const QString& title, const QString& text) override;
    void beep() override;
};

// CR LF and lone CR become line feeds, so the box shows the lines the text means.
QString displayLines(const QString& text);

} // namespace tesvaron

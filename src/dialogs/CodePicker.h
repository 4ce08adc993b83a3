#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>

class QTableWidget;

namespace tolva {

class Reporter;

// frmCode, "代碼輸入輔助視窗": lists codes (column 0) with their
// descriptions (column 1) and lets the operator pick one by a touch, Enter or
// Space; Escape leaves without a pick. The caller reads the rows; the window
// runs no statement. One instance serves every call and is refilled each time.
class CodePicker : public QDialog {
    Q_OBJECT
public:
    explicit CodePicker(Reporter* reporter, QWidget* parent = nullptr);
    ~CodePicker() override;

    void setReporter(Reporter* reporter) { m_reporter = reporter; }
    // The window the list is centred on while it is up.
    void setOwner(QWidget* owner) { m_owner = owner; }

    // False, showing nothing, when there are no rows. Otherwise shows the
    // list modally and returns true once it is closed; code (and description,
    // when asked for) are written only when a row was picked. Non-empty
    // labels replace the headers "代碼" and "說明" for this showing.
    bool ShowPick(const QList<QStringList>& rows, QString& code, QString* description = nullptr,
                  const QString& pvLabel1 = QString(), const QString& pvLabel2 = QString());

    // The code picked last; empty when the last showing ended without a pick.
    QString fvCode;

    // Picks the row (0 = the first data row): copies it and closes the list.
    void pickRow(int row, const QString& procedure);
    QTableWidget* fgCode() const { return m_fgCode; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Fills the grid; false when there was no row to load.
    bool loadRows(const QList<QStringList>& rows);

    Reporter* m_reporter = nullptr;
    QWidget* m_owner = nullptr;
    QTableWidget* m_fgCode = nullptr;
    bool m_picked = false;
    QString m_description;
};

} // namespace tolva

#pragma once

#include <QWidget>

namespace tolva {

class Document;

// Shows one page of a document at a zoom: mode 3 fits the whole page into
// the frame around it, mode 0 shows it at a percentage of its true size.
class PageView : public QWidget {
    Q_OBJECT

public:
    explicit PageView(QWidget* parent = nullptr);

    void setDocument(const Document* document);
    void setPage(int index);
    int page() const { return m_page; }
    void setZoom(int mode, int percent, QSize frame);
    double zoom() const { return m_zoom; }

signals:
    void doubleClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void fit();

    const Document* m_doc = nullptr;
    int m_page = 0;
    int m_mode = 3;
    int m_percent = 80;
    QSize m_frame;
    double m_zoom = 0.05;
};

} // namespace tolva

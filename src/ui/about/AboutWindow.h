// The About window: what the program is, and the links into its user guide.
#pragma once

#include <QWidget>

class QGroupBox;
class QLabel;

class AboutWindow : public QWidget {
    Q_OBJECT
  public:
    explicit AboutWindow(QWidget *parent = nullptr);

    // Shows the window in front, centred on the screen when it was not shown.
    void present();
    // The user guide shipped beside the program, or empty when it is missing.
    static QString guideFile();

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void buildInformation();
    // Opens the user guide at an anchor (its top when empty) in the browser.
    void openGuide(const QString &anchor);

    QLabel *m_picture;
    QLabel *m_author;
    QLabel *m_version;
    QLabel *m_motto;
    QGroupBox *m_links;
    QLabel *m_guideLink;
    QLabel *m_hotkeysLink;
    QLabel *m_backupLink;
    QLabel *m_faqLink;
    QLabel *m_custom;
    QLabel *m_newestLink;
};

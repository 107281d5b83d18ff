#include "catalog/tubes.h"
#include "datasheet/datasheetpanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

// The embedded theme: it must load and parse, and the selectors the widgets rely on (object names
// and the dynamic "status" and "level" properties) must reach them.
class TestTheme : public QObject
{
    Q_OBJECT

private:
    static void repolish(QWidget* w)
    {
        w->style()->unpolish(w);
        w->style()->polish(w);
    }

    static QColor textColour(const QWidget* w) { return w->palette().color(QPalette::WindowText); }

private slots:
    void initTestCase()
    {
        QApplication::setStyle(QStringLiteral("Fusion"));
        QFile file(QStringLiteral(":/style.qss"));
        QVERIFY2(file.open(QIODevice::ReadOnly), "the style sheet should be embedded as :/style.qss");
        const QString sheet = QString::fromUtf8(file.readAll());
        QVERIFY2(sheet.contains(QLatin1String("#statusBadge")),
                 "the embedded style sheet should be the theme");
        qApp->setStyleSheet(sheet);
    }

    void init()
    {
        // Qt drops a style sheet it cannot parse with nothing but this warning.
        QTest::failOnWarning(
            QRegularExpression(QStringLiteral("parse"), QRegularExpression::CaseInsensitiveOption));
    }

    // Every control the theme styles looks apart when disabled and when it holds the keyboard focus:
    // grabs of the same control in two states differ (which pixels, the theme decides).
    void statesShowInThePixels_data()
    {
        QTest::addColumn<QString>("kind");
        for (const char* kind : {"toolBtn", "headerBtn", "donateBtn", "QPushButton", "QComboBox", "QSpinBox",
                                 "QDoubleSpinBox", "QLineEdit", "QCheckBox", "QSlider"})
            QTest::newRow(kind) << QString::fromLatin1(kind);
    }

    void statesShowInThePixels()
    {
        QFETCH(QString, kind);
        QWidget host;
        host.setObjectName(QStringLiteral("host"));
        auto* layout = new QVBoxLayout(&host);
        auto* other = new QLineEdit(&host); // holds the focus while the control is grabbed without it
        QWidget* control = nullptr;
        if (kind == QLatin1String("toolBtn") || kind == QLatin1String("donateBtn") ||
            kind == QLatin1String("QPushButton")) {
            control = new QPushButton(QStringLiteral("Guided Bias Session"), &host);
            if (kind != QLatin1String("QPushButton"))
                control->setObjectName(kind);
        } else if (kind == QLatin1String("headerBtn")) {
            auto* button = new QToolButton(&host);
            button->setText(QStringLiteral("Save"));
            control = button;
            control->setObjectName(kind);
        } else if (kind == QLatin1String("QComboBox")) {
            auto* combo = new QComboBox(&host);
            combo->addItem(QStringLiteral("6V6GT"));
            control = combo;
        } else if (kind == QLatin1String("QSpinBox")) {
            auto* spin = new QSpinBox(&host);
            spin->setRange(1, 12);
            spin->setValue(2);
            control = spin;
        } else if (kind == QLatin1String("QDoubleSpinBox")) {
            auto* spin = new QDoubleSpinBox(&host);
            spin->setValue(350);
            control = spin;
        } else if (kind == QLatin1String("QLineEdit")) {
            control = new QLineEdit(QStringLiteral("26"), &host);
        } else if (kind == QLatin1String("QCheckBox")) {
            control = new QCheckBox(QStringLiteral("Resistor shared by pair"), &host);
        } else {
            auto* slider = new QSlider(Qt::Horizontal, &host);
            slider->setRange(30, 100);
            slider->setValue(65);
            control = slider;
        }
        control->setFocusPolicy(Qt::StrongFocus);
        layout->addWidget(other);
        layout->addWidget(control);
        host.resize(320, 120);
        host.show();
        QApplication::setActiveWindow(&host);
        QVERIFY(QTest::qWaitForWindowActive(&host));
        other->setFocus();
        QCoreApplication::processEvents();
        QVERIFY(!control->hasFocus());
        const QImage normal = control->grab().toImage();

        control->setEnabled(false);
        QCoreApplication::processEvents();
        QVERIFY2(control->grab().toImage() != normal, "disabled looks like enabled");
        control->setEnabled(true);
        QCoreApplication::processEvents();
        QCOMPARE(control->grab().toImage(), normal);

        control->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        QVERIFY(control->hasFocus());
        QVERIFY2(control->grab().toImage() != normal, "the keyboard focus does not show");
    }

    // The card re-polishes itself and its badge after every status change; the badge colours follow.
    void statusBadge_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<QColor>("text");
        QTest::addRow("off: plain badge") << "off" << QColor(0x2f, 0x2b, 0x22) << QColor(0x8d, 0x86, 0x72);
        QTest::addRow("cold") << "cold" << QColor(0x1d, 0x33, 0x50) << QColor(0x9f, 0xc4, 0xf2);
        QTest::addRow("ideal") << "ideal" << QColor(0x1e, 0x3d, 0x20) << QColor(0xa5, 0xe3, 0x9b);
        QTest::addRow("warm") << "warm" << QColor(0x4a, 0x37, 0x14) << QColor(0xf2, 0xcf, 0x8b);
        QTest::addRow("hot") << "hot" << QColor(0x52, 0x17, 0x11) << QColor(0xff, 0xb0, 0xa5);
    }

    void statusBadge()
    {
        QFETCH(QString, status);
        QFETCH(QColor, background);
        QFETCH(QColor, text);

        QFrame card;
        card.setObjectName(QStringLiteral("tubeCard"));
        card.setProperty("status", QStringLiteral("off"));
        auto* layout = new QVBoxLayout(&card);
        auto* badge = new QLabel(QStringLiteral("BADGE"), &card);
        badge->setObjectName(QStringLiteral("statusBadge"));
        badge->setAlignment(Qt::AlignCenter);
        layout->addWidget(badge);
        card.resize(240, 80);
        card.ensurePolished();
        badge->ensurePolished();

        card.setProperty("status", status);
        repolish(&card);
        repolish(badge);

        QCOMPARE(textColour(badge).name(), text.name());
        const QImage image = card.grab().toImage();
        const QPoint inside(badge->geometry().x() + 4, badge->geometry().center().y());
        QCOMPARE(image.pixelColor(inside).name(), background.name());
    }

    void matchLabelLevel_data()
    {
        QTest::addColumn<QString>("level");
        QTest::addColumn<QColor>("text");
        QTest::addRow("good") << "good" << QColor(0x8f, 0xd4, 0x87);
        QTest::addRow("bad") << "bad" << QColor(0xff, 0x9d, 0x8f);
        QTest::addRow("no verdict: ordinary text") << "" << QColor(0xe8, 0xdf, 0xc8);
    }

    void matchLabelLevel()
    {
        QFETCH(QString, level);
        QFETCH(QColor, text);
        QLabel label(QStringLiteral("MATCHED"));
        label.setObjectName(QStringLiteral("matchLabel"));
        label.ensurePolished();
        label.setProperty("level", level);
        repolish(&label);
        QCOMPARE(textColour(&label).name(), text.name());
    }

    // Tube cards and the preamp stage cards share the object name and so the minimum width.
    void cardsAreAtLeast230Wide()
    {
        QFrame card;
        card.setObjectName(QStringLiteral("tubeCard"));
        card.ensurePolished();
        QCOMPARE(card.minimumWidth(), 230);
    }

    void mainTabsStartIndentedWithToolButtonLook()
    {
        QTabWidget tabs;
        tabs.setObjectName(QStringLiteral("mainTabs"));
        tabs.setDocumentMode(true);
        tabs.addTab(new QWidget, QStringLiteral("POWER TUBES"));
        tabs.addTab(new QWidget, QStringLiteral("PREAMP STAGES"));
        tabs.resize(600, 200);
        const QImage image = tabs.grab().toImage();
        const QRect first = tabs.tabBar()->tabRect(0);
        const int y = first.center().y();
        // The left border of the first tab is its first painted column.
        int x = first.x();
        while (x < first.right() && image.pixelColor(x, y) == image.pixelColor(first.x(), y))
            ++x;
        QCOMPARE(x, first.x() + 14);
        QCOMPARE(image.pixelColor(x, y).name(), QStringLiteral("#5c5440"));
        // The middle of the #47402f to #332d20 gradient.
        const QColor selected = image.pixelColor(x + 4, y);
        QVERIFY2(qAbs(selected.red() - 0x3d) <= 3 && qAbs(selected.green() - 0x37) <= 3 &&
                     qAbs(selected.blue() - 0x28) <= 3,
                 qPrintable(QStringLiteral("selected tab should wear the tool-button gradient, saw ") +
                            selected.name()));
    }

    void datasheetPanelWearsTheTheme()
    {
        DatasheetPanel panel;
        panel.setTube(*findTube(QStringLiteral("6L6GC")));
        panel.resize(250, 600);
        panel.ensurePolished();
        auto* name = panel.findChild<QLabel*>(QStringLiteral("datasheetName"));
        auto* desc = panel.findChild<QLabel*>(QStringLiteral("datasheetDesc"));
        auto* header = panel.findChild<QLabel*>(QStringLiteral("panelHeader"));
        QVERIFY(name && desc && header);
        for (QLabel* l : {name, desc, header})
            l->ensurePolished();
        QCOMPARE(textColour(name).name(), QStringLiteral("#f0d896"));
        QCOMPARE(name->font().pixelSize(), 22);
        QCOMPARE(textColour(desc).name(), QStringLiteral("#9a8f77"));
        QCOMPARE(desc->font().pixelSize(), 11);
        QCOMPARE(textColour(header).name(), QStringLiteral("#c9a45a"));
        // Inside the rounded border, near the top-left: the start of the diagonal gradient.
        const QColor corner = panel.grab().toImage().pixelColor(8, 8);
        QVERIFY2(qAbs(corner.red() - 0x23) <= 2 && qAbs(corner.green() - 0x20) <= 2 &&
                     qAbs(corner.blue() - 0x19) <= 2,
                 qPrintable(QStringLiteral("panel background near #232019 expected, saw ") + corner.name()));
    }
};

QTEST_MAIN(TestTheme)
#include "tst_theme.moc"

// The progress window: three status lines, the percentage bar and Cancel.
#include "frmStatusBar.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <cmath>

#include "QtText.h"
#include "FormLayout.h"

namespace morvex {

namespace {

constexpr int Px(int twips) { return TwipsToPixels(twips); }

constexpr int kBarBorder = 2;
constexpr int kBarInnerWidth = Px(4455) - 2 * kBarBorder;   // 293
constexpr int kBarInnerHeight = Px(255) - 2 * kBarBorder;   // 13
constexpr int kBarScaleWidth = 100;                          // horizontal units across the inner width
constexpr int kBarScaleHeight = 195;                         // vertical units are twips
const QRgb kBarBackground = qRgb(255, 255, 255);
const QColor kBarForeground(0, 0, 255);

const char* const kDesignLines[3] = {"Operation in progress...", "", ""};

// Rounding of the drawing box's scale: to the nearest integer, halves to the even neighbour.
int RoundHalfEven(double value) { return static_cast<int>(std::nearbyint(value)); }

QFont BarFont() {
  QFont font = DialogFont(true);
  // Crisp two-colour text, so the not-XOR bar turns every text pixel cleanly white.
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

class AccessibleStatusBar : public QAccessibleWidget, public QAccessibleValueInterface {
 public:
  explicit AccessibleStatusBar(StatusBarPicture* picture)
      : QAccessibleWidget(picture, QAccessible::ProgressBar, QStringLiteral("Progress")) {}
  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }
  QVariant currentValue() const override { return static_cast<const StatusBarPicture*>(widget())->Percent(); }
  void setCurrentValue(const QVariant&) override {}  // the run sets it, never a user
  QVariant maximumValue() const override { return 100; }
  QVariant minimumValue() const override { return 0; }
  QVariant minimumStepSize() const override { return 1; }
};

QAccessibleInterface* AccessibleFor(const QString& className, QObject* object) {
  auto* picture = qobject_cast<StatusBarPicture*>(object);
  if (picture == nullptr || className != QLatin1String(StatusBarPicture::staticMetaObject.className())) return nullptr;
  return new AccessibleStatusBar(picture);
}

}  // namespace

void InstallStatusBarAccessibility() { QAccessible::installFactory(&AccessibleFor); }

void StatusBarPicture::SetPercent(int32_t nPercent) {
  percent_ = nPercent;
  if (QAccessible::isActive()) {
    QAccessibleValueChangeEvent changed(this, nPercent);
    QAccessible::updateAccessibility(&changed);
  }
}

StatusBarPicture::StatusBarPicture(QWidget* parent)
    : QFrame(parent), picture_(kBarInnerWidth, kBarInnerHeight, QImage::Format_RGB32) {
  setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
  setLineWidth(kBarBorder);
  picture_.fill(kBarBackground);
}

void StatusBarPicture::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  QPainter painter(this);
  painter.drawImage(contentsRect().topLeft(), picture_);
}

frmStatusBar::frmStatusBar(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint) {
  createControls();
  // Stays in front while the user works elsewhere, without pulling the focus away from them.
  setAttribute(Qt::WA_ShowWithoutActivating);
  setWindowTitle(QStringLiteral("Progress"));
}

void frmStatusBar::createControls() {
  setObjectName(QStringLiteral("frmStatusBar"));
  setFixedSize(Px(4680), Px(1680));
  setFont(DialogFont());

  const int lineTops[3] = {120, 360, 600};
  for (int index = 0; index < 3; ++index) {
    auto* label = new QLabel(this);
    label->setObjectName(QStringLiteral("lblProgress%1").arg(index));
    label->setGeometry(Px(120), Px(lineTops[index]), Px(4455), Px(255));
    label->setTextFormat(Qt::PlainText);
    lblProgress_[static_cast<size_t>(index)] = label;
  }

  picStatusBar_ = new StatusBarPicture(this);
  picStatusBar_->setObjectName(QStringLiteral("picStatusBar"));
  picStatusBar_->setGeometry(Px(120), Px(840), Px(4455), Px(255));

  cmdCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cmdCancel_->setObjectName(QStringLiteral("cmdCancel"));
  cmdCancel_->setGeometry(Px(1800), Px(1200), Px(1095), Px(375));
  cmdCancel_->setAutoDefault(false);
  cmdCancel_->setDefault(false);
  connect(cmdCancel_, &QPushButton::clicked, this, [this] { PressCancel(); });

  linesCatchUp_.setSingleShot(true);
  linesCatchUp_.setInterval(kLineFrameMs);
  connect(&linesCatchUp_, &QTimer::timeout, this, [this] { showLines(); });

  // Of the design's tab stops only Cancel can hold the focus, so Tab never lands on the drawing box.
  picStatusBar_->setFocusPolicy(Qt::NoFocus);
  loadDesignState();
}

void frmStatusBar::loadDesignState() {
  for (size_t index = 0; index < lines_.size(); ++index) lines_[index] = kDesignLines[index];
  showLines();
  picStatusBar_->Picture().fill(kBarBackground);
  shownPercent_ = kNothingShown;
}

void frmStatusBar::Title(std::string_view sTitle) { setWindowTitle(ToQString(sTitle)); }

std::string frmStatusBar::Title() const { return ToUtf8(windowTitle()); }

void frmStatusBar::Show() {
  if (loaded_) return;
  loaded_ = true;
  loadDesignState();
  Title("Morvex");
  CentreOnScreen(*this);
  show();
  // The frame is known only once the window is up; centre the whole window, not just its client area.
  CentreOnScreenOnceFramed(*this);
}

void frmStatusBar::Close() {
  if (!loaded_) return;
  loaded_ = false;
  linesCatchUp_.stop();
  closingByRun_ = true;
  close();
  closingByRun_ = false;
}

void frmStatusBar::SetLine(int index, std::string_view sText) {
  lines_[static_cast<size_t>(index)] = sText;
  showLinesNowOrSoon();
}

std::string frmStatusBar::Line(int index) const { return lines_[static_cast<size_t>(index)]; }

void frmStatusBar::showLinesNowOrSoon() {
  if (!linesShownAt_.isValid() || linesShownAt_.elapsed() >= kLineFrameMs) {
    showLines();
  } else if (!linesCatchUp_.isActive()) {
    // Fires inside a later Update, or in the main loop once the run has returned, so the last lines always
    // reach the screen, also on a window that a failed run leaves open.
    linesCatchUp_.start();
  }
}

void frmStatusBar::showLines() {
  linesCatchUp_.stop();
  for (size_t index = 0; index < lines_.size(); ++index) lblProgress_[index]->setText(ToQString(lines_[index]));
  linesShownAt_.start();
}

void frmStatusBar::DrawBar(QImage& picture, int32_t nPercent) {
  picture.fill(kBarBackground);
  const double unitsPerPixelX = static_cast<double>(kBarScaleWidth) / picture.width();
  const double unitsPerPixelY = static_cast<double>(kBarScaleHeight) / picture.height();
  const QString label = QString::number(nPercent) + QLatin1Char('%');

  QPainter painter(&picture);
  const QFont font = BarFont();
  painter.setFont(font);
  const QFontMetrics metrics(font);
  // Text placement is worked out in the box's scale units and only then turned into pixels.
  const int x = RoundHalfEven(kBarScaleWidth - metrics.horizontalAdvance(label) * unitsPerPixelX) / 2;
  const int y = RoundHalfEven(kBarScaleHeight - metrics.height() * unitsPerPixelY) / 2;
  const int left = RoundHalfEven(x / unitsPerPixelX);
  const int top = RoundHalfEven(y / unitsPerPixelY);
  painter.setPen(kBarForeground);
  painter.drawText(left, top + metrics.ascent(), label);

  // NOT(blue XOR pixel): white under the bar turns blue and blue text turns white.
  const int barWidth = RoundHalfEven(nPercent / unitsPerPixelX);
  if (barWidth > 0) {
    painter.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
    painter.fillRect(QRect(0, 0, barWidth, picture.height()), kBarForeground);
  }
}

void frmStatusBar::ShowPercent(int32_t nPercent) {
  // A run calls this once per page but the picture changes at most 101 times; an unchanged one is on screen
  // already, and redrawing it would cost a text layout and a flush of the whole window per page.
  if (nPercent == shownPercent_) return;
  shownPercent_ = nPercent;
  DrawBar(picStatusBar_->Picture(), nPercent);
  picStatusBar_->SetPercent(nPercent);
  // The run does not return to the event loop, so the new state goes on screen now, not when it is scheduled.
  picStatusBar_->repaint();
}

void frmStatusBar::ProcessEvents() {
  const bool outer = processingRunEvents_;
  processingRunEvents_ = true;
  struct Restore {
    bool& flag;
    bool value;
    ~Restore() { flag = value; }
  } restore{processingRunEvents_, outer};
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void frmStatusBar::closeEvent(QCloseEvent* event) {
  if (closingByRun_) {
    event->accept();
    return;
  }
  if (processingRunEvents_) {
    // The run owns this window and closes it itself; a user who closes it wants the run to stop.
    PressCancel();
    event->ignore();
    return;
  }
  // No run is going: this is the window a failed run left up, and nothing would ever close it but the user.
  loaded_ = false;
  linesCatchUp_.stop();
  event->accept();
}

}  // namespace morvex

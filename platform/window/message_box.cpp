#include "platform/window/message_box.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>

#include "platform/platform.h"
#include "platform/window/qt_text.h"
#include "platform/window/screen_geometry.h"
#include "platform/window/screen_style.h"

namespace velmora::window {

namespace {

// The box's margin from the screen's edges and inside.
constexpr int Margin = 8;

}  // namespace

MessageBox::MessageBox(std::u16string_view text, std::u16string_view caption, uint32_t flags,
                       QWidget* screen)
    : QWidget(screen) {
  setGeometry(0, 0, screen->width(), screen->height());
  setObjectName(QStringLiteral("messageBox"));

  auto* box = new QFrame(this);
  box->setObjectName(QStringLiteral("messageFrame"));
  box->setAutoFillBackground(true);
  box->setFrameStyle(QFrame::Box | QFrame::Plain);
  box->setLineWidth(1);
  auto* column = new QVBoxLayout(box);
  column->setContentsMargins(1, 1, 1, Margin);
  column->setSpacing(Margin);

  auto* title = new QLabel(ToQString(caption), box);
  title->setObjectName(QStringLiteral("messageCaption"));
  title->setTextFormat(Qt::PlainText);
  title->setAutoFillBackground(true);
  title->setContentsMargins(4, 3, 4, 3);
  QPalette captionColours = title->palette();
  captionColours.setColor(QPalette::Window, CaptionBottom);
  captionColours.setColor(QPalette::WindowText, CaptionText);
  title->setPalette(captionColours);
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  column->addWidget(title);

  auto* body = new QHBoxLayout();
  body->setContentsMargins(Margin, 0, Margin, 0);
  body->setSpacing(Margin);
  if ((flags & 0xF0) == MessageIconExclamation) {
    auto* icon = new QLabel(box);
    icon->setObjectName(QStringLiteral("exclamation"));
    int side = 24;
    icon->setPixmap(QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(side));
    icon->setFixedSize(side, side);
    body->addWidget(icon, 0, Qt::AlignTop);
  }
  auto* message = new QLabel(ToQString(text), box);
  message->setObjectName(QStringLiteral("messageText"));
  message->setTextFormat(Qt::PlainText);
  message->setWordWrap(true);
  message->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  body->addWidget(message, 1);
  column->addLayout(body);

  auto* row = new QHBoxLayout();
  row->addStretch(1);
  bool yesNo = (flags & 0x0F) == MessageYesNo;
  std::vector<std::pair<const char16_t*, int>> choices =
      yesNo ? std::vector<std::pair<const char16_t*, int>>{{u"Ja", AnswerYes}, {u"Nein", AnswerNo}}
            : std::vector<std::pair<const char16_t*, int>>{{u"OK", AnswerOk}};
  for (const auto& [label, answer] : choices) {
    auto* button = new QPushButton(ToQString(label), box);
    button->setMinimumWidth(50);
    button->setFocusPolicy(Qt::StrongFocus);
    size_t index = buttons_.size();
    QObject::connect(button, &QPushButton::clicked, this, [this, index] { Answer(index); });
    buttons_.push_back(button);
    answers_.push_back(answer);
    row->addWidget(button);
  }
  row->addStretch(1);
  column->addLayout(row);

  int width = (ScreenWidth - 2 * Margin);
  box->setFixedWidth(width);
  box->setFixedHeight(column->totalHeightForWidth(width));
  box->move((this->width() - width) / 2, CaptionHeight + (DialogAreaHeight - box->height()) / 2);
  buttons_.front()->setFocus(Qt::OtherFocusReason);
}

void MessageBox::Key(int key) {
  size_t focused = 0;
  for (size_t i = 0; i < buttons_.size(); ++i) {
    if (buttons_[i]->hasFocus()) {
      focused = i;
    }
  }
  switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Left:
    case Qt::Key_Right:
      buttons_[(focused + 1) % buttons_.size()]->setFocus(Qt::TabFocusReason);
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      Answer(focused);
      break;
    case Qt::Key_Escape:
      Answer(buttons_.size() - 1);
      break;
    case Qt::Key_J:
    case Qt::Key_N:
      if (buttons_.size() == 2) {
        Answer(key == Qt::Key_J ? 0 : 1);
      }
      break;
    default:
      break;
  }
}

void MessageBox::paintEvent(QPaintEvent*) {
  // The screen beneath stays visible, a little darker.
  QPainter painter(this);
  painter.fillRect(rect(), QColor(0, 0, 0, 60));
}

void MessageBox::Answer(size_t button) {
  if (answer_ != 0 || button >= answers_.size()) {
    return;
  }
  answer_ = answers_[button];
  if (answered_) {
    answered_();
  }
}

}  // namespace velmora::window

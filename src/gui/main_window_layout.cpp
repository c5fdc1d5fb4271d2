// The window's controls, menus and timers as they are created: positions,
// sizes, captions and initial states.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>

#include "gui/main_window.h"

namespace halv::gui {
namespace {

constexpr int kClientWidth = 346;
constexpr int kClientHeight = 262;

// A label that sizes itself to its text, at a position.
QLabel* AutoLabel(QWidget* parent, const char* name, int x, int y, const QString& text, bool bold) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  if (bold) {
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
  }
  label->move(x, y);
  label->adjustSize();
  return label;
}

QPushButton* Button(QWidget* parent, const char* name, const QRect& geometry, const char* text) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setGeometry(geometry);
  return button;
}

QAction* Entry(QMenu* menu, const char* name, const char* caption, const QKeySequence& shortcut) {
  QAction* action = menu->addAction(caption);
  action->setObjectName(name);
  if (!shortcut.isEmpty()) action->setShortcut(shortcut);
  return action;
}

}  // namespace

void TfrmMain::BuildControls() {
  auto* client = new QWidget(this);
  client->setObjectName("client");
  client->setFixedSize(kClientWidth, kClientHeight);
  setCentralWidget(client);

  Image1 = new QLabel(client);
  Image1->setObjectName("Image1");
  Image1->setGeometry(16, 16, 48, 48);
  Image1->setPixmap(QPixmap(":/halvbsl/halvbsl.png"));
  userText1 = AutoLabel(client, "userText1", 76, 24, "", false);
  userText2 = AutoLabel(client, "userText2", 76, 40, "", true);
  userText2->setWordWrap(true);
  userText2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  userText2->resize(224, 34);
  lblConnect = AutoLabel(client, "lblConnect", 12, 80, "", true);

  Panel1 = new QWidget(client);
  Panel1->setObjectName("Panel1");
  Panel1->setGeometry(0, 106, 341, 153);
  commLabel = AutoLabel(Panel1, "commLabel", 12, 8, "", false);
  cbCommPort = new PortComboBox(Panel1);
  cbCommPort->setObjectName("cbCommPort");
  QFont bold = cbCommPort->font();
  bold.setBold(true);
  cbCommPort->setFont(bold);
  cbCommPort->move(12, 24);
  cbCommPort->resize(323, cbCommPort->sizeHint().height());
  cbCommPort->setToolTip("Pick your comm port from this list.");
  Label1 = AutoLabel(Panel1, "Label1", 12, 64, "Status:", true);
  statusText = AutoLabel(Panel1, "statusText", 56, 64, "", false);
  statusText->hide();
  statusBar = new QProgressBar(Panel1);
  statusBar->setObjectName("statusBar");
  statusBar->setGeometry(12, 80, 323, 17);
  statusBar->setRange(0, 100);
  statusBar->setValue(0);
  statusBar->setTextVisible(false);
  newSN = AutoLabel(Panel1, "newSN", 12, 104, "New Serial Number", false);
  newSN->hide();
  newSNstr = new QLineEdit(Panel1);
  newSNstr->setObjectName("newSNstr");
  newSNstr->move(12, 120);
  newSNstr->resize(93, newSNstr->sizeHint().height());
  newSNstr->setMaxLength(15);
  newSNstr->hide();
  btnClose = Button(Panel1, "btnClose", QRect(179, 120, 75, 25), "Close");
  btnStart = Button(Panel1, "btnStart", QRect(260, 120, 75, 25), "Start");
  btnStart->setDefault(true);

  connect(cbCommPort, &PortComboBox::dropDown, this, &TfrmMain::cbCommPortDropDown);
  connect(cbCommPort, qOverload<int>(&QComboBox::activated), this, &TfrmMain::cbCommPortChange);
  connect(btnStart, &QPushButton::clicked, this, &TfrmMain::btnStartClick);
  // Closing goes through the quit guard like every other way of closing.
  connect(btnClose, &QPushButton::clicked, this, &QWidget::close);
}

void TfrmMain::BuildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  file->setObjectName("File1");
  OpenFirmwareFile1 = Entry(file, "OpenFirmwareFile1", "&Open Firmware File...",
                            QKeySequence(Qt::CTRL | Qt::Key_O));
  OpenFirmwareFile1->setEnabled(false);
  UpdateFirmware1 =
      Entry(file, "UpdateFirmware1", "&Update Firmware", QKeySequence(Qt::CTRL | Qt::Key_F));
  DumpFirmwareImage1 = Entry(file, "DumpFirmwareImage1", "&Dump Firmware Image...",
                             QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_D));
  DumpFirmwareImage1->setVisible(false);
  // A hidden entry's shortcut does not fire; the window carries the shortcut.
  auto* dump_key = new QAction(this);
  dump_key->setObjectName("DumpFirmwareImageKey");
  dump_key->setShortcut(DumpFirmwareImage1->shortcut());
  dump_key->setShortcutContext(Qt::WindowShortcut);
  addAction(dump_key);
  file->addSeparator();
  Exit1 = Entry(file, "Exit1", "&Exit", QKeySequence(Qt::CTRL | Qt::Key_Q));

  QMenu* settings = menuBar()->addMenu("&Settings");
  settings->setObjectName("Settings1");
  VerboseErrorFile1 = Entry(settings, "VerboseErrorFile1", "&Verbose Error File", {});
  VerboseErrorFile1->setCheckable(true);
  VerboseErrorFile1->setChecked(true);
  VerboseErrorFile1->setEnabled(false);
  ForceFindAllCommPorts1 =
      Entry(settings, "ForceFindAllCommPorts1", "Force Find All &Comm Ports", {});
  ForceFindAllCommPorts1->setCheckable(true);
  DontEraseData1 = Entry(settings, "DontEraseData1", "&Don't Erase Data", {});
  DontEraseData1->setCheckable(true);
  DontEraseData1->setVisible(false);
  PromptforSerialNumber1 = Entry(settings, "PromptforSerialNumber1", "&Replace Serial Number", {});
  PromptforSerialNumber1->setCheckable(true);
  PromptforSerialNumber1->setVisible(false);
  sensor_types_ = std::make_unique<SensorTypeMenu>(
      settings, this, [this](int32_t type) { SelectSensorType(type); });

  QMenu* help = menuBar()->addMenu("&Help");
  help->setObjectName("Help1");
  Help2 = Entry(help, "Help2", "&Help", QKeySequence(Qt::Key_F1));
  SendFeedback1 = Entry(help, "SendFeedback1", "Send Feedback to QUORRIN...", {});
  CheckNewerFirmware1 = Entry(help, "CheckNewerFirmware1", "Check for Newer Firmware Version", {});
  help->addSeparator();
  About1 = Entry(help, "About1", "&About...", {});

  connect(OpenFirmwareFile1, &QAction::triggered, this, &TfrmMain::OpenFirmwareFile1Click);
  connect(UpdateFirmware1, &QAction::triggered, this, &TfrmMain::UpdateFirmware1Click);
  connect(dump_key, &QAction::triggered, this, &TfrmMain::DumpFirmwareImage1Click);
  connect(DumpFirmwareImage1, &QAction::triggered, this, &TfrmMain::DumpFirmwareImage1Click);
  connect(Exit1, &QAction::triggered, this, &QWidget::close);
  connect(ForceFindAllCommPorts1, &QAction::triggered, this,
          &TfrmMain::ForceFindAllCommPorts1Click);
  connect(DontEraseData1, &QAction::triggered, this, &TfrmMain::DontEraseData1Click);
  connect(PromptforSerialNumber1, &QAction::triggered, this,
          &TfrmMain::PromptforSerialNumber1Click);
  connect(Help2, &QAction::triggered, this, &TfrmMain::Help2Click);
  connect(SendFeedback1, &QAction::triggered, this, &TfrmMain::SendFeedbackClick);
  connect(CheckNewerFirmware1, &QAction::triggered, this, &TfrmMain::CheckNewerFirmwareClick);
  connect(About1, &QAction::triggered, this, &TfrmMain::About1Click);
}

void TfrmMain::BuildTimers() {
  struct TimerRow {
    QTimer* timer;
    const char* name;
    int interval_ms;
    void (TfrmMain::*handler)();
  };
  const TimerRow rows[] = {
      {&timerStart, "timerStart", 100, &TfrmMain::timerStartTimer},
      {&timerEraseWarn, "timerEraseWarn", 500, &TfrmMain::timerEraseWarnTimer},
      {&tWebCheck, "tWebCheck", 500, &TfrmMain::tWebCheckTimer},
      {&timerConstructorErrors, "timerConstructorErrors", 100,
       &TfrmMain::timerConstructorErrorsTimer},
  };
  for (const TimerRow& row : rows) {
    row.timer->setObjectName(row.name);
    row.timer->setParent(this);
    row.timer->setSingleShot(true);
    row.timer->setInterval(row.interval_ms);
    connect(row.timer, &QTimer::timeout, this, row.handler);
  }
}

}  // namespace halv::gui

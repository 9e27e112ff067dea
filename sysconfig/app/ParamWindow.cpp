#include "ParamWindow.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <fstream>
#include <sstream>

#include "ListDlg.h"
#include "Ui.h"
#include "ValueEditor.h"
#include "nconfig/Texts.h"

namespace nconfig::ui {

// ------------------------------------------------------------ CParamTreePage

CParamTreePage::CParamTreePage(const PageModel& model, QWidget* parent) : QTreeWidget(parent), model_(model)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setIconSize(QSize(12, 12));
    items_.assign(model_.Nodes().size(), nullptr);
    for (int n : model_.TreeOrder()) {
        const int parent = model_.Nodes()[n].parent;
        items_[n] = parent < 0 ? new QTreeWidgetItem(this) : new QTreeWidgetItem(items_[parent]);
    }
    expandAll();
    Refresh();
}

void CParamTreePage::Refresh()
{
    for (size_t n = 0; n < items_.size(); ++n) {
        items_[n]->setText(0, Q(model_.NodeText(static_cast<int>(n))));
        items_[n]->setIcon(0, TreePicture(model_.NodePicture(static_cast<int>(n))));
    }
}

int CParamTreePage::NodeOf(const QTreeWidgetItem* item) const
{
    for (size_t n = 0; n < items_.size(); ++n) {
        if (items_[n] == item) return static_cast<int>(n);
    }
    return -1;
}

QTreeWidgetItem* CParamTreePage::ItemOfKey(const std::string& key) const
{
    for (size_t i = 0; i < model_.Parameters().size(); ++i) {
        if (model_.Parameters()[i].key == key) return items_[model_.NodeOfParameter(static_cast<int>(i))];
    }
    return nullptr;
}

// -------------------------------------------------------------- CParamWindow

CParamWindow::CParamWindow(WindowSetup setup, bool diagnosis, QWidget* parent)
    : QDialog(parent), setup_(std::move(setup))
{
    const ToolResources& r = *setup_.resources;
    doc_ = std::make_unique<SettingsDocument>(LoadPages(r.language, r.objects, setup_.base), r.language, setup_.mode,
                                              diagnosis);
    doc_->SetAddress(setup_.address);
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setWindowTitle(Title());
    CreatePages();
    CreateButtons(diagnosis);
    resize(640, 560);
    if (Built() && setup_.mode != kModeList) ReadPrinter();
}

CParamWindow::~CParamWindow()
{
    if (worker_.joinable()) worker_.join();
}

QString CParamWindow::Title() const
{
    return Q(WindowTitle(setup_.resources->language, setup_.base, setup_.mode, setup_.port, setup_.address));
}

void CParamWindow::CreatePages()
{
    tabs_ = new QTabWidget(this);
    for (const PageModel& page : doc_->Pages()) {
        auto* widget = new CParamTreePage(page, tabs_);
        tabs_->addTab(widget, Q(page.Title()));
        pages_.push_back(widget);
        connect(widget, &QTreeWidget::currentItemChanged, this, [this] { SelectionChanged(); });
    }
    connect(tabs_, &QTabWidget::currentChanged, this, [this] { SelectionChanged(); });
}

void CParamWindow::CreateButtons(bool diagnosis)
{
    editor_ = new ValueEditor(this);
    editor_->setVisible(!diagnosis);
    connect(editor_, &ValueEditor::confirmed, this, &CParamWindow::ConfirmValue);
    status_ = new QLabel(this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(status_, 1);
    if (!diagnosis) {
        apply_ = new QPushButton(T(5040), this);
        import_ = new QPushButton(T(5042), this);
        connect(apply_, &QPushButton::clicked, this, &CParamWindow::ApplyChanges);
        connect(import_, &QPushButton::clicked, this, &CParamWindow::ImportFile);
        buttons->addWidget(apply_);
        buttons->addWidget(import_);
    }
    export_ = new QPushButton(T(5041), this);
    close_ = new QPushButton(T(5043), this);
    connect(export_, &QPushButton::clicked, this, &CParamWindow::ExportFile);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(export_);
    buttons->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addWidget(editor_);
    layout->addLayout(buttons);
}

void CParamWindow::RunInBackground(std::function<void()> work, std::function<void()> done)
{
    if (worker_.joinable()) worker_.join();
    worker_ = std::thread([this, work = std::move(work), done = std::move(done)] {
        work();
        QMetaObject::invokeMethod(this, done, Qt::QueuedConnection);
    });
}

void CParamWindow::SetBusy(bool busy, int statusText)
{
    busy_ = busy;
    for (QPushButton* b : {apply_, import_, export_}) {
        if (b) b->setEnabled(!busy);
    }
    editor_->setEnabled(!busy);
    status_->setText(statusText ? T(statusText) : QString());
}

void CParamWindow::RefreshPages()
{
    for (CParamTreePage* page : pages_) page->Refresh();
    SelectionChanged();
}

void CParamWindow::SelectionChanged()
{
    if (busy_) return;
    const int p = tabs_->currentIndex();
    if (p < 0 || p >= static_cast<int>(pages_.size())) return;
    const int node = pages_[p]->NodeOf(pages_[p]->currentItem());
    const PageModel& page = doc_->Pages()[p];
    const int param = node < 0 ? -1 : page.Nodes()[node].parameter;
    if (param < 0) {
        editor_->ShowParameter(nullptr, {}, false);
        return;
    }
    editor_->ShowParameter(&page.Parameters()[param], page.Value(param), page.Editable(param));
}

void CParamWindow::ReadPrinter()
{
    SetBusy(true, 5045);
    auto code = std::make_shared<int>(0);
    RunInBackground(
        [this, code] {
            std::unique_ptr<PrinterLink> link = setup_.links();
            *code = link->Open(setup_.port, setup_.address);
            if (*code == 0) {
                *code = ReadDocument(*link, *doc_);
                link->Close();
            }
        },
        [this, code] {
            SetBusy(false, *code == 0 ? 0 : 5053);
            RefreshPages();
            emit readFinished();
        });
}

void CParamWindow::ConfirmValue()
{
    if (busy_ || doc_->Diagnosis()) return;
    const int p = tabs_->currentIndex();
    if (p < 0) return;
    const int node = pages_[p]->NodeOf(pages_[p]->currentItem());
    const int param = node < 0 ? -1 : doc_->Pages()[p].Nodes()[node].parameter;
    if (param < 0) return;
    const EditResult r = doc_->Edit(p, param, editor_->Text().toStdString());
    if (r == EditResult::kInvalid) {
        ShowMessage(this, kMsgOutOfRange);
        return;
    }
    RefreshPages();
}

void CParamWindow::ApplyChanges()
{
    if (busy_ || doc_->Diagnosis()) return;
    if (setup_.mode == kModeList) {
        ListPass(setup_.lines);
        return;
    }
    SetBusy(true, 5046);
    auto outcome = std::make_shared<SingleApply>();
    RunInBackground(
        [this, outcome] {
            std::unique_ptr<PrinterLink> link = setup_.links();
            *outcome = ApplyAndReread(*link, *doc_, setup_.port, setup_.address, setup_.model, setup_.version,
                                      setup_.applyWaitMs);
        },
        [this, outcome] {
            const ApplyResult& r = outcome->result;
            SetBusy(false);
            if (!r.supported) {
                ShowMessage(this, r.check.Answered() ? kMsgUnsupported : kMsgCheckFailed);
            } else {
                if (outcome->addressChanged) {
                    setup_.address = outcome->address;
                    setWindowTitle(Title());
                    emit titleChanged(Title());
                }
                status_->setText(r.AllWritten() ? T(5047) : Fill(5048, Q(FailureReason(r, *doc_))));
            }
            RefreshPages();
            emit applyFinished();
        });
}

void CParamWindow::ListPass(std::vector<ListLine> lines)
{
    SetBusy(true, 5046);
    auto results = std::make_shared<std::vector<LineResult>>();
    RunInBackground([this, lines, results] { *results = ApplyListPass(setup_.links, lines, *doc_, setup_.model, kDefaultJobs); },
                    [this, lines, results] { ListPassDone(lines, *results); });
}

void CParamWindow::ListPassDone(std::vector<ListLine> lines, std::vector<LineResult> results)
{
    SetBusy(false);
    std::vector<ListLine> remaining;
    std::vector<LineResult> failures;
    for (size_t i = 0; i < lines.size() && i < results.size(); ++i) {
        if (results[i].written) continue;
        remaining.push_back(lines[i]);
        failures.push_back(results[i]);
    }
    setup_.lines = remaining;
    if (remaining.empty()) {
        status_->setText(T(5049));
        emit applyFinished();
        return;
    }
    status_->setText(Fill(5048, QString::number(remaining.size())));
    auto* dialog = new CListDlg(remaining, failures, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, [this] { ListPass(setup_.lines); });
    dialog->open();
    emit applyFinished();
}

void CParamWindow::ExportFile()
{
    if (busy_) return;
    const bool diagnosis = doc_->Diagnosis();
    const QString path = ChooseFile(this, true, diagnosis ? kFilterText : kFilterExport, diagnosis ? "txt" : "qcd");
    if (path.isEmpty()) return;
    const bool configData = !diagnosis && QFileInfo(path).suffix().compare("qcd", Qt::CaseInsensitive) == 0;
    const std::string text = configData
                                 ? doc_->ConfigDataExport(setup_.model, setup_.version)
                                 : doc_->TextExport(setup_.port, setup_.address, setup_.model, setup_.version);
    std::ofstream out(path.toLocal8Bit().constData(), std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) ShowMessage(this, 5054);
}

void CParamWindow::ImportFile()
{
    if (busy_ || doc_->Diagnosis()) return;
    const QString path = ChooseFile(this, false, kFilterImport, "qcd");
    if (path.isEmpty()) return;
    std::ifstream in(path.toLocal8Bit().constData(), std::ios::binary);
    if (!in) {
        ShowMessage(this, 5055);
        return;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (doc_->Import(text.str(), setup_.model).otherModel) ShowMessage(this, kMsgOtherModel);
    RefreshPages();
}

CDiagnosisDlg::CDiagnosisDlg(WindowSetup setup, QWidget* parent) : CParamWindow(std::move(setup), true, parent) {}

CSystemDlg::CSystemDlg(WindowSetup setup, QWidget* parent) : CParamWindow(std::move(setup), false, parent) {}

} // namespace nconfig::ui

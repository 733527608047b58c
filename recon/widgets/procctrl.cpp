#include "recon/widgets/procctrl.h"

#include "app/fieldtext.h"

#include "ui_ProcCtrl.h"

#include <QButtonGroup>
#include <QEvent>

#include <cstdlib>
#include <limits>
#include <memory>

namespace {
// Equal values, NaN counting as equal to NaN, so a NaN field does not
// announce itself over and over.
bool sameValue(double a, double b)
{
    return a == b || (a != a && b != b);
}
bool sameValue(int a, int b)
{
    return a == b;
}
} // namespace

ProcCtrl::ProcCtrl(QWidget* parent) : QFrame(parent), ui(new Ui::ProcCtrl)
{
    ui->setupUi(this);
    storedSlice = sliceNo();
    storedCor = cor();
    storedRotAxIsV = rotAxIsV();

    connect(ui->UsePartialDataSet, &QCheckBox::toggled, this, &ProcCtrl::usePartialDataSetUpdated);
    connect(this, &ProcCtrl::usePartialDataSetUpdated, this, &ProcCtrl::showPartial);
    connect(ui->AutoExecCtCalc, &QCheckBox::toggled, this, &ProcCtrl::autoExecUpdated);
    connect(ui->RotAxGroup, &QButtonGroup::buttonClicked, this, &ProcCtrl::rotAxSelectionChanged);
    connect(ui->SliceNo, &QLineEdit::editingFinished, this, &ProcCtrl::sliceNoEditingFinished);
    connect(ui->CoR, &QLineEdit::editingFinished, this, &ProcCtrl::corEditingFinished);
    announceOnChange(ui->AngleOriginDeg, &fieldDouble, &ProcCtrl::angleOriginUpdated);
    announceOnChange(ui->DataSetRangeDeg, &fieldDouble, &ProcCtrl::dataSetRangeUpdated);
    announceOnChange(ui->DataSetUsingImages, &fieldInt, &ProcCtrl::dataSetUsingImagesUpdated);
    announceOnChange(ui->DataSetStartImageNo, &fieldInt, &ProcCtrl::dataSetStartImageNoUpdated);
    connect(ui->RecCoR, &QPushButton::clicked, this, &ProcCtrl::recordCoR);
    connect(ui->ClearRecCoR, &QPushButton::clicked, this, &ProcCtrl::clearRecordedCoR);

    showPartial();
    showRecordedCoRs();
}

ProcCtrl::~ProcCtrl()
{
    delete ui;
}

template <typename T>
void ProcCtrl::announceOnChange(QLineEdit* field, T (*read)(const QString&), void (ProcCtrl::*signal)())
{
    auto last = std::make_shared<T>(read(field->text()));
    connect(field, &QLineEdit::editingFinished, this, [this, field, read, signal, last] {
        const T v = read(field->text());
        if (sameValue(v, *last))
            return;
        *last = v;
        emit(this->*signal)();
    });
}

bool ProcCtrl::rotAxIsV() const
{
    return ui->RotAxV->isChecked();
}

int ProcCtrl::sliceNo() const
{
    return fieldInt(ui->SliceNo->text());
}

double ProcCtrl::cor() const
{
    return fieldDouble(ui->CoR->text());
}

double ProcCtrl::angleOriginDeg() const
{
    return fieldDouble(ui->AngleOriginDeg->text());
}

double ProcCtrl::dataSetRangeDeg() const
{
    return fieldDouble(ui->DataSetRangeDeg->text());
}

int ProcCtrl::dataSetImages() const
{
    return fieldInt(ui->DataSetImages->text());
}

bool ProcCtrl::usePartialDataSet() const
{
    return ui->UsePartialDataSet->isChecked();
}

int ProcCtrl::dataSetUsingImages() const
{
    return fieldInt(ui->DataSetUsingImages->text());
}

int ProcCtrl::dataSetStartImageNo() const
{
    return fieldInt(ui->DataSetStartImageNo->text());
}

int ProcCtrl::usingImages() const
{
    return usePartialDataSet() ? dataSetUsingImages() : dataSetImages();
}

int ProcCtrl::startImage() const
{
    return usePartialDataSet() ? dataSetStartImageNo() : 0;
}

bool ProcCtrl::autoExec() const
{
    return ui->AutoExecCtCalc->isChecked();
}

int ProcCtrl::sliceFrom() const
{
    return fieldInt(ui->SliceFrom->text());
}

int ProcCtrl::sliceTo() const
{
    return fieldInt(ui->SliceTo->text());
}

int ProcCtrl::sliceStep() const
{
    return fieldInt(ui->SliceStep->text());
}

int ProcCtrl::threads() const
{
    return ui->Threads->value();
}

int ProcCtrl::maxThreads() const
{
    return ui->Threads->maximum();
}

int ProcCtrl::directedStep(int from, int to, int step)
{
    long long size = std::llabs(static_cast<long long>(step));
    // A zero step would hand out the same slice for ever.
    if (size == 0)
        size = 1;
    if (size > std::numeric_limits<int>::max())
        size = std::numeric_limits<int>::max();
    return from > to ? -int(size) : int(size);
}

ProcParams ProcCtrl::procParams(bool usePanel, bool useWorkers) const
{
    ProcParams p;
    p.usePanel = usePanel;
    p.useWorkers = useWorkers;
    p.rotAxIsV = rotAxIsV();
    p.slice = sliceNo();
    p.cor = cor();
    p.recordedCor1 = recCor1;
    p.recordedCor2 = recCor2;
    p.recordedSlice1 = recSlice1;
    p.recordedSlice2 = recSlice2;
    p.angleOriginDeg = angleOriginDeg();
    p.dataSetImages = dataSetImages();
    p.dataSetRangeDeg = dataSetRangeDeg();
    p.usePartialDataSet = usePartialDataSet();
    p.usingImages = usingImages();
    p.startImage = startImage();
    p.autoExec = autoExec();
    p.from = sliceFrom();
    p.to = sliceTo();
    p.step = directedStep(p.from, p.to, sliceStep());
    p.threads = threads();
    p.upperLimit = 10.0;
    p.lowerLimit = -10.0;
    p.offset = 10.0;
    return p;
}

void ProcCtrl::setCor(double c)
{
    if (sameValue(c, storedCor))
        return;
    storedCor = c;
    ui->CoR->setText(doubleText(c));
    emit corUpdated();
}

void ProcCtrl::setSliceNo(int n)
{
    if (n == storedSlice)
        return;
    storedSlice = n;
    ui->SliceNo->setText(QString::number(n));
    emit sliceNoUpdated();
}

void ProcCtrl::setSliceFrom(int from)
{
    ui->SliceFrom->setText(QString::number(from));
}

void ProcCtrl::setSliceTo(int to)
{
    ui->SliceTo->setText(QString::number(to));
}

void ProcCtrl::setSliceStep(int step)
{
    ui->SliceStep->setText(QString::number(step));
}

void ProcCtrl::setAngleOriginDeg(double deg)
{
    ui->AngleOriginDeg->setText(doubleText(deg));
}

void ProcCtrl::setDataSetRangeDeg(double deg)
{
    ui->DataSetRangeDeg->setText(doubleText(deg));
}

void ProcCtrl::setDataSetImages(int no)
{
    ui->DataSetImages->setText(QString::number(no));
}

void ProcCtrl::setDataSetUsingImages(int images)
{
    ui->DataSetUsingImages->setText(QString::number(images));
}

void ProcCtrl::setDataSetStartImageNo(int no)
{
    ui->DataSetStartImageNo->setText(QString::number(no));
}

void ProcCtrl::setUsePartialDataSet(bool f)
{
    ui->UsePartialDataSet->setChecked(f);
}

void ProcCtrl::announceFieldEdits()
{
    for (QLineEdit* f : {ui->AngleOriginDeg, ui->DataSetRangeDeg, ui->DataSetUsingImages, ui->DataSetStartImageNo})
        emit f->editingFinished();
}

void ProcCtrl::setAutoExec(bool f)
{
    ui->AutoExecCtCalc->setChecked(f);
}

void ProcCtrl::setRotAxIsV(bool v)
{
    (v ? ui->RotAxV : ui->RotAxH)->setChecked(true);
    rotAxSelectionChanged(v ? ui->RotAxV : ui->RotAxH);
}

void ProcCtrl::setRotAxIsH(bool h)
{
    setRotAxIsV(!h);
}

void ProcCtrl::setThreads(int n)
{
    ui->Threads->setValue(n);
}

void ProcCtrl::setMaxThreads(int n)
{
    if (n < 1)
        n = 1;
    ui->Threads->setMaximum(n);
    ui->MaxThreads->setText(tr("/%1").arg(n));
    ui->Threads->setValue(int(n * 0.8));
}

void ProcCtrl::setRecordedCoR1(int slice, double c)
{
    recSlice1 = slice;
    recCor1 = c;
    showRecordedCoRs();
}

void ProcCtrl::setRecordedCoR2(int slice, double c)
{
    recSlice2 = slice;
    recCor2 = c;
    showRecordedCoRs();
}

void ProcCtrl::showPartial()
{
    ui->UsePartialDataSetParams->setVisible(ui->UsePartialDataSet->isChecked());
}

void ProcCtrl::recordCoR()
{
    recSlice2 = recSlice1;
    recCor2 = recCor1;
    recSlice1 = sliceNo();
    recCor1 = cor();
    showRecordedCoRs();
}

void ProcCtrl::sliceNoEditingFinished()
{
    const int n = sliceNo();
    if (n == storedSlice)
        return;
    storedSlice = n;
    emit sliceNoUpdated();
}

void ProcCtrl::corEditingFinished()
{
    const double c = cor();
    if (sameValue(c, storedCor))
        return;
    storedCor = c;
    emit corUpdated();
}

void ProcCtrl::rotAxSelectionChanged(QAbstractButton*)
{
    const bool v = ui->RotAxV->isChecked();
    if (v == storedRotAxIsV)
        return;
    storedRotAxIsV = v;
    emit rotAxUpdated();
}

void ProcCtrl::clearRecordedCoR()
{
    recSlice1 = -1;
    recSlice2 = -1;
    showRecordedCoRs();
}

QString ProcCtrl::recordedText(int slice, double c) const
{
    if (slice < 0)
        return QString();
    return tr("%1 at %2").arg(doubleText(c), QString::number(slice));
}

void ProcCtrl::showRecordedCoRs()
{
    ui->RecordedCoR1->setText(recordedText(recSlice1, recCor1));
    ui->RecordedCoR2->setText(recordedText(recSlice2, recCor2));
    // The CoR comes first; show it when the field is too narrow.
    ui->RecordedCoR1->setCursorPosition(0);
    ui->RecordedCoR2->setCursorPosition(0);
}

void ProcCtrl::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        ui->MaxThreads->setText(tr("/%1").arg(maxThreads()));
        showRecordedCoRs();
    }
    QFrame::changeEvent(event);
}

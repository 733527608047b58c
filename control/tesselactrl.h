// Decides what the viewer link tells Tessela and when: load a slice's data
// files, then run 2DA on it, for one slice or a slice range. Holds the main
// window's link state; the window feeds it its settings and forwards its
// buttons, and shows what the notifications report.
#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class TesselaLink;

// Where the automatic data saving puts a slice's data files.
struct TslSaveLayout {
    QString dataDir;
    bool inSubFolders = true; // "Save in Sub Folders"
    bool ofSlice = true;      // "of Slice"
};

class TesselaCtrl : public QObject
{
    Q_OBJECT

public:
    explicit TesselaCtrl(QObject* parent = nullptr);

    // Makes the connections both ways; the link must outlive this or be
    // replaced first.
    void setLink(TesselaLink* link);
    void setSaveLayout(const TslSaveLayout& layout) { saveLayout = layout; }

    int stage() const { return tslStage; }
    bool cont2dA() const { return tslCont2dA; }
    bool busyShown() const { return tslBusy; }
    int currentSlice() const { return tslCurrent; }
    bool waitingForSave() const { return waitSave; }
    bool with2dA() const { return withAnalysis; }
    bool sendMsg() const { return sendOnPick; }

    // The slice's own folder, absolute, native separators, trailing separator.
    static QString slicePatternDir(const TslSaveLayout& layout, int slice);
    // Absolute native paths of the slice's "*-<slice>.dat" files, by name:
    // in every sub-folder of the data directory, or in the directory itself.
    static QStringList sliceDataFiles(const TslSaveLayout& layout, int slice);

    static QString busyStyle(bool busy);
    static QString cont2dAStyle(bool on);

signals:
    void tslLoadFilesOfPattern(QString path);
    void tslLoadFiles(QStringList fileList);
    void tslStatChanged();
    void exec2dA(QString sliceNoS);
    // The processing panel's slice number should show this slice.
    void askSetSliceNo(int slice);
    // The busy indicator (style from busyStyle()); only on a change.
    void tslBusyUpdated(bool busy);
    // Continuous 2DA switched on or off (button style from cont2dAStyle());
    // a batch waiting for the range resumes on off.
    void cont2dAUpdated(bool on);

public slots:
    void setWith2dA(bool f) { withAnalysis = f; }
    void setSendMsg(bool f) { sendOnPick = f; }

    void tslInitFlags();
    void tslChangedIsBusy(bool f);
    void tslStageCtrl();
    void tslLoadSlice(int slice);
    // The Cont2DA button: starts over first..last by step when off, else stops.
    void tslStartCont2dA(int first, int last, int step);
    // False, with one line, when the range is empty or the link is down.
    bool startCont2dA(int first, int last, int step);
    void stopCont2dA();
    void exec2dA0(int sliceNo);
    // A point picked in the raw image: told to the viewer when "Send Msg." is on.
    void noticedPickedSlice(int slice);
    // A slice's data record went to the saver / was written (or given up).
    // A slice is told to the viewer only when none of its records is pending.
    void noticedSliceQueued(int slice);
    void noticedSliceSaved(int slice);
    // Stop waiting for the viewer: back to stage 0, continuous mode off,
    // the link no longer busy.
    void tslReset();

private slots:
    void noticedLinkLost();

private:
    void sendSlice();
    void abandon();
    void setCont2dA(bool on);
    bool linkDown() const;

    QPointer<TesselaLink> link;
    TslSaveLayout saveLayout;
    bool tslBusy = false;
    int tslStage = 0;
    bool tslCont2dA = false;
    int tslFirst = 0;
    int tslLast = 0;
    int tslStep = 0;
    int tslCurrent = 0;
    bool withAnalysis = false;
    bool sendOnPick = true;
    bool waitSave = false;
    QHash<int, int> pendingSaves; // slice -> records not yet written
};

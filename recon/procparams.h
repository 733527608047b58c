// Snapshot of the processing parameters taken at the start of every run;
// the workers read it during the run and nobody changes it meanwhile.
#pragma once

struct ProcParams {
    bool usePanel = false;   // interactive panel selected
    bool useWorkers = false; // reconstruction workers selected
    bool rotAxIsV = false;
    int slice = 0;
    double cor = 0.0;
    double recordedCor1 = 0.0;
    double recordedCor2 = 0.0;
    int recordedSlice1 = -1;
    int recordedSlice2 = -1;
    double angleOriginDeg = 0.0;
    int dataSetImages = 0;
    double dataSetRangeDeg = 180.0;
    bool usePartialDataSet = false;
    int usingImages = 0;     // images used: partial count, else all
    int startImage = 0;      // first image used: partial start, else 0
    bool autoExec = false;
    int from = 0;
    int to = 0;
    int step = 1;            // sign follows the direction from -> to
    int threads = 1;
    int currentSlice = 0;    // written by the main window during a multi-slice run
    double upperLimit = 10.0;
    double lowerLimit = -10.0;
    double offset = 10.0;
    bool skipExisting = false; // slices whose result files are all there are left out

    // Angle between two images of the data set and angle of the first
    // sinogram row, in radians.
    double angleStep() const;
    double startAngle() const;

    // Both recorded (slice, CoR) pairs valid and at different slices: the
    // CoR then follows the straight line through them.
    bool hasCorLaw() const;
    double corAt(int slice) const;
};

// CKWave: the analytic signal (imaginary parts from the Hilbert filter).
#include <string>

#include "HilbertFilter.h"
#include "KDialogProgress.h"
#include "KWave.h"
#include "MainWindow.h"
#include "Messages.h"
#include "NumberFormat.h"
#include "WaitCursor.h"

int CKWave::GetAnalyticFilterLength() const {
    // The sum reaches M samples beyond both ends; the guard bands are at least
    // that long for the filter every store is created with.
    int length = m_nAnalyticFilterLength;
    if (length / 2 > m_nStartSampleNumber) length = 2 * m_nStartSampleNumber + 1;
    return length;
}

bool CKWave::CalculateImaginaryPartOfSignal() {
    return CalculateImaginaryPartOfSignal({0, m_pFirstComplexSample != nullptr ? m_nSamples : 0});
}

bool CKWave::CalculateImaginaryPartOfSignal(const SampleSpan& samples) {
    if (m_bSignalRealyComplex) return true;

    CKDialogProgress progress(nullptr);
    HilbertFilter filter(GetAnalyticFilterLength());
    if (!filter.Init()) {
        platform::ShowMessage(
            "Не хватило памяти для подготовки данных для сонограммы высшего качества.\n\nCKWave::() - 160.");
        return false;
    }

    platform::WaitCursor waitCursor;
    progress.Create(platform::GetMainWindow());
    m_strStatusText = "Рассчитываются данные для сонограммы высшего качества частотного слоя от 0 до " +
                      number::Fixed(GetFrADC() * 0.5, 3) + " Гц.";
    progress.SetStatusText(m_strStatusText);

    const long n = m_pFirstComplexSample != nullptr ? m_nSamples : 0;
    long stride = n / 1000 + 1;
    if (stride <= 0) stride = 1;
    progress.SetRange(0, 1000);
    progress.SetPos(0);
    progress.SetStep(1);
    progress.ShowWindow(true);

    filter.Apply(m_pFirstComplexSample, n, &progress, stride, samples);

    m_bSignalRealyComplex = true;
    // The wait cursor ends here, then the dialog goes and the main window
    // is enabled again.
    return true;
}

// CKSonogramView: rebinding the pane to another channel, layer, sonel size
// and column step chosen in the FAS-film dialog.
#include <QDialog>
#include <algorithm>

#include "FonavidDoc.h"
#include "KDialogSelectPASfilm.h"
#include "KMultiWaveFilm.h"
#include "KSonogramView.h"
#include "KWave.h"

void CKSonogramView::TuneFasFilm() {
    if (m_pDoc == nullptr || m_pWave == nullptr) return;
    CKMultiWaveFilm& film = m_pDoc->m_film;
    CKDialogSelectPASfilm dialog(&film, nullptr);
    dialog.m_pFilm = &film;
    int layer = 0;
    int channel = 0;
    bool found = false;
    for (int c = 0; c < CKMultiWaveFilm::kChannelSlots && !found; ++c) {
        for (int l = 0; l < CKMultiWaveFilm::kLayers && !found; ++l) {
            if (film.GetKWave(l, c) == m_pWave) {
                layer = l;
                channel = c;
                found = true;
            }
        }
    }
    dialog.m_nChannel = channel;
    dialog.m_nLevel = layer;
    dialog.m_dSonelFreqHz = m_dSonelFreqHz;
    dialog.m_nStepSamples = m_nStepSamples;
    if (dialog.exec() != QDialog::Accepted) return;

    // A choice outside the film (a right channel of a mono file) keeps the
    // pane where it was; a step below one sample would divide by zero.
    const int newLayer = dialog.m_nLevel;
    const int newChannel = dialog.m_nChannel;
    if (newLayer < 0 || newLayer >= CKMultiWaveFilm::kLayers || newChannel < 0 ||
        newChannel >= std::max(1, film.GetChannels()))
        return;
    // A lower layer has no store until decimated; when that fails (its
    // message shown) the pane stays on the wave it had.
    if (newLayer != 0 && !film.GetDecimateWaveAreCalculated() && !film.CalculateDecimateWaves()) return;
    m_dSonelFreqHz = dialog.m_dSonelFreqHz;
    m_nStepSamples = std::max(1, dialog.m_nStepSamples);
    m_pWave = film.GetKWave(newLayer, newChannel);
    FillWindow();
    ClearSpectrumCache();
    ClearPixelCache();
    SyncCursorFromDocument();
    // The column count and the scroll extent follow the new wave and step;
    // the buffers stay.
    ResizeBuffers(0);
}

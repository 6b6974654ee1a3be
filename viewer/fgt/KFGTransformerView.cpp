#include "KFGTransformerView.h"

#include <new>

#include "DialogFHTSetP.h"
#include "FGTComputation.h"
#include "FonavidDoc.h"
#include "KWave.h"
#include "Messages.h"
#include "ResourceIds.h"
#include "WaitCursor.h"

namespace {

const char* const kNoDocument =
    "Не удалось привязаться к документу. Программу следует "
    "прервать!\n\nCKFGTransformerView::OnInitialUpdate()";
const char* const kNoSignal =
    "Не удалось привязаться к сигналу. Программу следует прервать!\n\nCKFGTransformerView::OnInitialUpdate()";

// The rows are shared between this many threads, joined before the
// computation returns.
constexpr int kThreads = 2;

template <typename T>
T* AllocateZeroed(long n) {
    return new (std::nothrow) T[static_cast<size_t>(n)]();
}

}  // namespace

CKFGTransformerView::CKFGTransformerView(QWidget* parent) : platform::ScrollView(parent) {
    viewport()->setMouseTracking(true);
    setContextMenuPolicy(Qt::DefaultContextMenu);
}

CKFGTransformerView::~CKFGTransformerView() { ResetFGT(); }

void CKFGTransformerView::OnInitialUpdate() {
    platform::ScrollView::OnInitialUpdate();
    m_pDoc = dynamic_cast<CFonavidDoc*>(GetDocument());
    if (m_pDoc == nullptr) {
        platform::ShowMessage(kNoDocument);
    } else {
        m_pWave = m_pDoc->GetFilm()->GetKWave(0, 0);
        if (m_pWave == nullptr) platform::ShowMessage(kNoSignal);
    }
    // One pixel of surface: the pane never scrolls.
    SetScrollSizes(QSize(1, 1));
}

long CKFGTransformerView::RowOffset(int row) const {
    long offset = 0;
    for (int j = 0; j < row && j < m_nRows; ++j) offset += m_pRowLength[j];
    return offset;
}

void CKFGTransformerView::ResetFGT() {
    delete[] m_pFrequency;
    delete[] m_pSigmaT;
    delete[] m_pRowLength;
    delete[] m_pLevel;
    delete[] m_pPixels;
    m_pFrequency = nullptr;
    m_pSigmaT = nullptr;
    m_pRowLength = nullptr;
    m_pLevel = nullptr;
    m_pPixels = nullptr;
    m_nRows = 0;
    m_nTotal = 0;
    m_bInitialised = false;
    m_bReady = false;
}

bool CKFGTransformerView::CalculateFGT(CKWave* wave) {
    // A deleted store keeps its ready flag but has no samples any more.
    if (wave == nullptr || !wave->IsRealPartOfSignalReady() || wave->GetFirstComplexSample() == nullptr)
        return false;
    platform::WaitCursor wait;
    // Arrays of an earlier FGT would otherwise be lost.
    ResetFGT();

    const fgt::SignalRef signal{wave->GetFirstComplexSample(), wave->GetNSamples(), wave->GetFrADC(),
                                wave->GetStartSampleNumber()};
    const int rows = fgt::RowCount(signal.frADC);
    if (rows <= 0 || signal.guard < 1) return false;
    m_nRows = rows;
    m_pFrequency = AllocateZeroed<double>(rows);
    m_pSigmaT = AllocateZeroed<double>(rows);
    m_pRowLength = AllocateZeroed<int>(rows);
    if (!m_pFrequency || !m_pSigmaT || !m_pRowLength) {
        ResetFGT();
        return false;
    }

    double total = 0.0;
    const bool fits = fgt::FillGrid(m_dP, signal, rows, m_pFrequency, m_pSigmaT, m_pRowLength, total);
    const double required = fgt::RequiredBytes(total, rows, signal, kThreads);
    const double available = fgt::AvailableBytes();
    if (!fits || required > available) {
        ResetFGT();
        platform::ShowMessage(fgt::MemoryRefusalText(required, available));
        return false;
    }
    m_nTotal = static_cast<int>(total);
    // Every value and pixel is written below.
    m_pLevel = new (std::nothrow) double[static_cast<size_t>(m_nTotal)];
    m_pPixels = new (std::nothrow) uint32_t[static_cast<size_t>(m_nTotal)];
    if (!m_pLevel || !m_pPixels ||
        !fgt::ComputeLevels(signal, rows, m_pFrequency, m_pSigmaT, m_pRowLength, m_pLevel, fgt::BestSumPath(),
                            kThreads)) {
        ResetFGT();
        return false;
    }
    BuildFGTImage();
    m_bInitialised = true;
    m_bReady = true;
    viewport()->update();
    return true;
}

void CKFGTransformerView::BuildFGTImage() {
    if (m_pLevel != nullptr && m_pPixels != nullptr)
        fgt::BuildImage(m_pLevel, m_pPixels, m_nTotal, m_dLowerLevel, m_dUpperLevel);
    viewport()->update();
}

bool CKFGTransformerView::OnCommand(int id) {
    switch (id) {
        case res::ID_FGT_CALCULATE:
            OnFGTCalculate();
            return true;
        case res::ID_FGT_SET_P:
            OnFGTSetP();
            return true;
        case res::ID_UPPER_LEVEL_RAISE:
        case res::ID_UPPER_LEVEL_LOWER:
        case res::ID_LOWER_LEVEL_RAISE:
        case res::ID_LOWER_LEVEL_LOWER:
        case res::ID_LEVELS_DEFAULT:
            OnLevelCommand(id);
            return true;
        default:
            return false;
    }
}

bool CKFGTransformerView::OnUpdateCommand(int id, platform::CommandState& state) {
    switch (id) {
        case res::ID_FGT_CALCULATE:
        case res::ID_FGT_SET_P:
            // Without a signal there is nothing to compute.
            state.enabled = m_pWave != nullptr;
            return true;
        case res::ID_UPPER_LEVEL_RAISE:
        case res::ID_UPPER_LEVEL_LOWER:
        case res::ID_LOWER_LEVEL_RAISE:
        case res::ID_LOWER_LEVEL_LOWER:
        case res::ID_LEVELS_DEFAULT:
            state.enabled = true;
            return true;
        default:
            return false;
    }
}

void CKFGTransformerView::OnFGTCalculate() {
    platform::WaitCursor wait;
    ResetFGT();
    CalculateFGT(m_pWave);
}

void CKFGTransformerView::OnFGTSetP() {
    CDialogFHT_set_P dialog(this);
    dialog.m_dP = m_dP;
    if (dialog.DoModal() != QDialog::Accepted) return;
    m_dP = dialog.m_dP;
    platform::WaitCursor wait;
    ResetFGT();
    CalculateFGT(m_pWave);
}

void CKFGTransformerView::OnLevelCommand(int id) {
    switch (id) {
        case res::ID_UPPER_LEVEL_RAISE:
            m_dUpperLevel += 10.0;
            break;
        case res::ID_UPPER_LEVEL_LOWER:
            m_dUpperLevel -= 10.0;
            if (m_dUpperLevel < m_dLowerLevel) m_dLowerLevel = m_dUpperLevel - 1.0;
            break;
        case res::ID_LOWER_LEVEL_RAISE:
            m_dLowerLevel += 10.0;
            if (m_dLowerLevel > m_dUpperLevel) m_dUpperLevel = m_dLowerLevel + 1.0;
            break;
        case res::ID_LOWER_LEVEL_LOWER:
            m_dLowerLevel -= 10.0;
            break;
        default:
            m_dLowerLevel = 0.0;
            m_dUpperLevel = 50.0;
            break;
    }
    BuildFGTImage();
}

#include "KFGTransformerView.h"

#include "DialogFHTSetP.h"
#include "FonavidDoc.h"
#include "KWave.h"
#include "LevelSteps.h"
#include "Messages.h"
#include "PlaybackController.h"
#include "ResourceIds.h"
#include "WaitCursor.h"

namespace {

const char* const kNoDocument =
    "Не удалось привязаться к документу. Программу следует "
    "прервать!\n\nCKFGTransformerView::OnInitialUpdate()";
const char* const kNoSignal =
    "Не удалось привязаться к сигналу. Программу следует прервать!\n\nCKFGTransformerView::OnInitialUpdate()";

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
    m_transform.Reset();
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
    if (!m_transform.Calculate(wave, m_dP, m_dLowerLevel, m_dUpperLevel)) return false;
    m_nRows = m_transform.GetRows();
    m_pFrequency = m_transform.GetFrequency();
    m_pSigmaT = m_transform.GetSigmaT();
    m_pRowLength = m_transform.GetRowLength();
    m_nTotal = m_transform.GetTotal();
    m_pLevel = m_transform.GetLevel();
    m_pPixels = m_transform.GetPixels();
    m_bInitialised = true;
    m_bReady = true;
    viewport()->update();
    return true;
}

void CKFGTransformerView::BuildFGTImage() {
    m_transform.BuildImage(m_dLowerLevel, m_dUpperLevel);
    viewport()->update();
}

bool CKFGTransformerView::OnCommand(int id) {
    if (CPlaybackController::Instance().OnCommand(id, m_pDoc, GetVisibleEndTime())) return true;
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
    if (CPlaybackController::Instance().OnUpdateCommand(id, m_pDoc, state)) return true;
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
    // The default levels are the pane's own; the steps are shared with the
    // sonogram panes.
    if (!LevelSteps::Apply(id, m_dUpperLevel, m_dLowerLevel)) {
        m_dLowerLevel = 0.0;
        m_dUpperLevel = 50.0;
    }
    BuildFGTImage();
}

#pragma once

#include "interface_language.h"

namespace quillmark::ledger {

// Every text of the ledger's HTML report, in one table per language.
struct ReportTexts {
  const char* language;  // the page's lang attribute
  const char* title;
  const char* poolsHeading;
  const char* noPools;
  const char* usageNames[4];  // finished, reserved but not finished, voided, free
  const char* addresses;      // after a count: "个地址"
  const char* used;
  const char* free;
  const char* percentUsed;
  const char* largestFree;
  const char* nextFree;
  const char* none;  // no free range left
  const char* to;    // between the first and last address or day
  const char* devicesHeading;
  const char* noDevices;
  const char* devicesAxis;  // the chart's unit
  const char* batchesHeading;
  const char* noBatches;
  const char* columns[10];  // id, range, station, lot, image, folder, when, outcome, reruns, voids
  const char* endings[4];   // none (running or unknown), finished, stopped, failed
  const char* voided;
  const char* tableCut;  // "%1 of %2" where the table lists only the newest batches
  const char* ledgerLocation;
  const char* reportTime;
  const char* version;
  // The punctuation between the parts: "：", "　", "（" and "）" in Chinese.
  const char* colon;
  const char* gap;
  const char* open;
  const char* close;
};

const ReportTexts& ReportTextsFor(InterfaceLanguage language);
const ReportTexts& ChineseReportTexts();

}  // namespace quillmark::ledger

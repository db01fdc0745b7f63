// The exact figures of the copies on screen: the list carries only "HH:mm"
// and a rounded size, so the rows being drawn ask getBackupFileDetails for
// theirs, in batches, and keep the answer on the copy object.

import { BatchedAsker } from './batchedasker.js';
import { formatExactBytes, formatSize, formatSizeChange } from './format.js';
import { t } from './i18n.js';

// A copy holds `exact` ({saveTime, bytes, previousBytes, originalPath}) once
// answered, or `exact === null` when the catalogue no longer knows it or the
// plug-in refused.
export class CopyDetails extends BatchedAsker {
  // `arrived(copies)` is told which copies have their figures now.
  constructor(call, arrived) {
    super(call, 'getBackupFileDetails', 'askedExact');
    this.arrived = arrived;
  }

  isKnown(copy) {
    return copy.exact !== undefined;
  }

  refused(copies, refused) {
    // The rounded figures stay.
    if (refused) for (const copy of copies) copy.exact = null;
    else super.refused(copies, refused);
  }

  answered(copies, answer) {
    const byPath = new Map(copies.map((c) => [c.filePath, c]));
    for (const file of Array.isArray(answer?.files) ? answer.files : []) {
      const copy = byPath.get(file?.filePath);
      if (!copy) continue;
      copy.exact = {
        saveTime: typeof file.saveTime === 'string' ? file.saveTime : copy.saveTime,
        bytes: Number.isFinite(file.bytes) ? file.bytes : null,
        previousBytes: Number.isFinite(file.previousBytes) ? file.previousBytes : null,
        originalPath: typeof file.originalPath === 'string' ? file.originalPath : '',
      };
    }
    for (const copy of copies) if (copy.exact === undefined) copy.exact = null;
    this.arrived(copies);
  }
}

// What a copy row shows: the time with seconds, the size (exact under 1 KB),
// its bytes for the tooltip and the change against the copy before it.
export function copyFigures(copy) {
  const exact = copy.exact;
  if (!exact || exact.bytes === null) {
    return { time: exact?.saveTime ?? copy.saveTime, size: copy.fileSize, title: '', change: '', changeLabel: '' };
  }
  const change = exact.previousBytes === null ? '' : formatSizeChange(exact.bytes, exact.previousBytes);
  return {
    time: exact.saveTime,
    size: formatSize(exact.bytes),
    title: formatExactBytes(exact.bytes),
    change: exact.previousBytes === null ? t('figures.first') : change,
    changeLabel: exact.previousBytes === null ? t('figures.firstLabel') : t('figures.changeLabel', { change }),
  };
}

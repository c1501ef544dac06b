// The identifiers of the author's window's controls, which its tests find them by.
#ifndef UPDATE_STUDIO_IDS_H
#define UPDATE_STUDIO_IDS_H

enum StudioControlId {
    IdHint = 90,
    IdFolderLabel = 95,   // + folder
    IdFolderEdit = 100,   // + folder
    IdBrowse = 110,       // + folder
    IdTextLabel = 190,    // + text
    IdTextEdit = 200,     // + text
    IdMistake = 300,      // + text
    IdOpenProject = 400,
    IdSaveProject,
    IdCheck,
    IdMake,
    IdCancel,
    IdOpenPatch,
    IdProgress,
    IdReport,
    IdPreviewLabel,
    IdOldListLabel,  // the old versions: their list, each one's name, --also-whole
    IdOldList,
    IdAddOld,
    IdRemoveOld,
    IdOldLabelLabel,
    IdOldLabelEdit,
    IdAlsoWhole,
};

#endif

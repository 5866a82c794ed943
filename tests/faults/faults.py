"""Plausible faults for run_faults.py: a snippet of product source (found once over the
product folders: base/, pakmgr/, dds/, model/, export/, import/, media/, gl/, cli/, app/, blender/), its replacement, and the ctest labels whose tests should catch it."""

PAK = ["pakmgr"]
READ = ["model"]
POSE = ["model"]
OBJ = ["model"]
GLTF = ["export"]
DDS = ["dds", "gl"]
VIEW = ["gl"]
FRAMES = ["gl"]
CLI = ["cli"]
APP = ["app"]
BLENDER = ["blender"]
WRITE = ["robustness", "pakmgr"]
MEDIA = ["media", "cli"]
IMPORT = ["import"]


def fault(id, labels, find, replace, *moved):
    """`moved`: further (find, replace) pairs, for where the code has gone since; the first
    snippet found exactly once is the one applied."""
    return {"id": id, "labels": labels, "edits": [(find, replace)] + list(moved)}


FAULTS = [
    # pakmgr: archive table, tree, names, inflating, memory reader
    fault("pak-sort-order", PAK, "std::sort(names.begin(), names.end());", "",
          ("std::sort(names.begin(), names.end(), ListingOrder);", "(void)ListingOrder;")),
    fault("pak-first-archive-wins", PAK,
          "m_entryNodes[i] = builder.Insert(m_entries[i].name, static_cast<int32_t>(i));",
          "const std::size_t j = m_entries.size() - 1 - i;\n"
          "        m_entryNodes[j] = builder.Insert(m_entries[j].name, static_cast<int32_t>(j));",
          ("builder.Insert(m_entries[i].name, static_cast<int32_t>(i));",
           "const std::size_t j = m_entries.size() - 1 - i;\n"
           "        builder.Insert(m_entries[j].name, static_cast<int32_t>(j));")),
    fault("pak-stored-range-past-end", PAK,
          "uint64_t{r.offset} + r.storedSize > static_cast<uint64_t>(info.st_size)",
          "uint64_t{r.offset} > static_cast<uint64_t>(info.st_size)",
          ("uint64_t{r.offset} + r.storedSize > m_archives[r.archive].size",
           "uint64_t{r.offset} > m_archives[r.archive].size"),
          ("uint64_t{r.offset} + r.storedSize <= m_archives[r.archive].size",
           "uint64_t{r.offset} <= m_archives[r.archive].size")),
    fault("pak-batch-slice", PAK,
          "                hand(i, InflateEntry(indices[i], rest.first(size), out));\n"
          "                rest = rest.subspan(size);\n",
          "                hand(i, InflateEntry(indices[i], rest.first(size), out));\n",
          ("                rest = rest.subspan(size);\n", "")),
    # where a file comes from, what an update changed
    fault("which-copies-of-other-paths", PAK, "if (mgr.GetEntryNode(i) == node) {",
          "if (mgr.GetEntryNode(i) != nullptr) {"),
    fault("diff-equal-stored-bytes-skip-sizes", CLI,
          "} else if (!m_old.Equals(i, bytes) || InflatedSizesDiffer(pairs[i])) {",
          "} else if (!m_old.Equals(i, bytes)) {"),
    fault("diff-stored-bytes-decide", CLI + APP, ": m_before == m_after ? Pair::kSame",
          ": false ? Pair::kSame"),
    fault("diff-parts-bounded-by-count-only", PAK,
          "if (inPart > 0 && (held + bytes > kPartStoredBytes || inPart == kMostPairsPerPart)) {",
          "if (inPart > 0 && inPart == kMostPairsPerPart) {"),
    fault("diff-failed-part-compared-same", PAK, "        job.Failed(failure.index);\n",
          "        (void)failure;\n"),
    fault("pak-sink-shares-buffer", PAK, "StoredBytes() : m_shared(!InUse())",
          "StoredBytes() : m_shared(true)"),
    fault("pak-relative-archive-paths", PAK + APP,
          "const std::string root = ec ? folder : absolute.string();",
          "const std::string root = folder;"),
    fault("pak-names-never-taken", PAK + CLI + APP, "    m_given.insert(name);\n", ""),
    fault("pak-renames-unreported", PAK + CLI + APP, "m_renamed.push_back({source, name});", ""),
    # an archive that can't be read skipped without a word; a folder of them opened
    fault("pak-skipped-archive-unsaid", PAK + CLI + APP,
          "m_skipped.push_back({name, std::move(problem)});", "(void)problem;"),
    fault("pak-unreadable-folder-opens", PAK + APP, "    return read;\n}",
          "    return read || !m_skipped.empty();\n}"),
    # whole-file writes: every export goes through them
    fault("write-temporary-left", WRITE,
          "    if (error != 0) {\n        ::unlink(temporary);\n    }", "",
          ("    if (error != 0) {\n        ::unlinkat(FolderOf(dir), temporary, 0);\n    }", "")),
    fault("write-failure-ignored", WRITE,
          "        if (error == 0 && !WriteAll(fd, piece)) {\n            error = errno;\n        }",
          "        (void)WriteAll(fd, piece);",
          ("        if (error == 0) {\n            error = file.WriteAll(piece);\n        }",
           "        (void)file.WriteAll(piece);")),
    fault("pak-inflated-size-unchecked", PAK,
          "    return storedSize > 0 && inflatedSize <= MaxInflated(storedSize);",
          "    (void)inflatedSize;\n    return storedSize > 0;"),
    fault("pak-safe-name-backslash", PAK,
          "[](char c) { return c == '/' || c == '\\\\' || c == '\\0'; }",
          "[](char c) { return c == '/' || c == '\\0'; }"),
    fault("pak-safe-name-dotdot", PAK,
          'if (name.empty() || name == "." || name == "..") {',
          'if (name.empty() || name == ".") {'),
    fault("pak-head-whole-unchecked", PAK, "        m_entries[index].inflatedSize <= max) {",
          "        false) {"),
    fault("pak-head-of-folder", PAK,
          "if (!node || node->GetIndex() < 0 || node->GetChildCount() > 0) {\n        return false;\n    }\n    const auto index = static_cast<uint32_t>(node->GetIndex());\n    if (index >= m_entries.size() || m_entries[index].inflatedSize == 0 ||",
          "if (!node || node->GetIndex() < 0) {\n        return false;\n    }\n    const auto index = static_cast<uint32_t>(node->GetIndex());\n    if (index >= m_entries.size() || m_entries[index].inflatedSize == 0 ||"),
    fault("pak-read-past-end", PAK,
          "uint32_t n = count < available ? count : available;",
          "uint32_t n = count;\n    (void)available;"),

    # the archive writer and mods
    fault("pack-table-one-record-short", PAK + CLI,
          "return {first, first + m_records.size() * kRecordSize};",
          "return {first, first + (m_records.size() - 1) * kRecordSize};"),
    fault("pack-records-in-listing-order", PAK,
          "[](const PackSource& a, const PackSource& b) { return a.path < b.path; });",
          "[](const PackSource&, const PackSource&) { return false; });"),
    fault("pack-loss-unseen", CLI,
          "ListsBefore(archive, archiveName) ? PathVerdict::kLoses : PathVerdict::kOverrides;",
          "PathVerdict::kOverrides;"),
    fault("pack-over-the-games-archive", CLI,
          "if (InFolder(target, gameDir) && fs::exists(target) && !PakMgr::IsPackedArchive(target)) {",
          "if (InFolder(target, gameDir) && false) {"),
    # model readers
    fault("skn-version-ignored", READ, "if (versionCheck && skin.version != kSupportedVersion) {",
          "if (false) {"),
    fault("skn-material-count-unchecked", READ,
          "    in.Need(uint64_t{skin.materialCount} * kMaterialBlockMinimum,",
          "    in.Need(uint64_t{0} * kMaterialBlockMinimum,"),
    fault("skn-texture-name-case", READ, "            LowerCase(file);\n", "",
          ("            file = Base::LowerAscii(file);\n", "")),
    fault("msh-version-bound", READ, "return version >= 10 && version <= 13;",
          "return version >= 10 && version < 13;"),
    fault("msh-submesh-count-unchecked", READ,
          "    in.Need(uint64_t{mesh.subMeshCount} * kHeaderBlockSize,",
          "    in.Need(uint64_t{0} * kHeaderBlockSize,"),
    fault("cursor-need-off-by-one", READ, "        if (bytes > remaining) {",
          "        if (bytes > remaining + 1) {"),
    fault("ani-version-11-layout", READ,
          "        case 11:\n            return KeyLayout::Version11;",
          "        case 11:\n            return KeyLayout::Version10;"),
    fault("ani-bone-count-unchecked", READ,
          "    if (uint64_t{skeleton.boneCount} * perBone > remainingAfterTables) {",
          "    if (false) {"),

    # posing
    fault("pose-quaternion-swap", POSE, "const float x = q[0], y = q[1], z = q[2], w = q[3];",
          "const float x = q[1], y = q[0], z = q[2], w = q[3];"),
    fault("pose-slerp-no-hemisphere", POSE, "    if (c < 0) {\n        c = -c;", "    if (false) {\n        c = -c;"),
    fault("pose-parent-order", POSE,
          "bone.worldMatrix = Multiply(bone.localMatrix, skeleton.bones[bone.parent].worldMatrix);",
          "bone.worldMatrix = Multiply(skeleton.bones[bone.parent].worldMatrix, bone.localMatrix);"),
    fault("pose-key-interpolation", POSE,
          "return between(KeyValue<N>(a), KeyValue<N>(b), (frame - fa) / (fb - fa));",
          "return between(KeyValue<N>(a), KeyValue<N>(b), 0.0f);"),
    fault("pose-84fps-step", POSE, "constexpr float kRealTime = 60.0f;",
          "constexpr float kRealTime = 50.0f;"),

    # OBJ export
    fault("obj-face-number", OBJ, "return uint32_t{idx[i]} + 1; };", "return uint32_t{idx[i]}; };"),
    fault("obj-strip-winding", OBJ, "        if (k % 2 == 1) {\n            AppendFace(out, a, b, c);",
          "        if (k % 2 == 0) {\n            AppendFace(out, a, b, c);",
          ("        if (k % 2 == 1) {\n            face(a, b, c);",
           "        if (k % 2 == 0) {\n            face(a, b, c);")),
    fault("obj-flip-v", OBJ, "AppendNumber(out, 1.0f - t[1]);", "AppendNumber(out, t[1]);"),
    fault("obj-texture-not-copied", OBJ, "    CopyTexture(material, node, folder, cuts);\n",
          "    if (false) {\n        CopyTexture(material, node, folder, cuts);\n    }\n"),

    # glTF export
    fault("gltf-conjugate", GLTF, "return Normalized({q[0], -q[1], -q[2], q[3]});",
          "return Normalized({q[0], q[1], -q[2], q[3]});",
          ("return Normalized({-q[0], -q[1], q[2], q[3]});",
           "return Normalized({-q[0], q[1], q[2], q[3]});")),
    fault("gltf-lean-drops-turns", GLTF,
          "opposite = std::max(opposite, std::abs(values[i + c] + at[c]));", "opposite = 0;"),
    fault("gltf-glow-unsplit", GLTF, "entry.emissiveFactor[c] = glow[c] / entry.emissiveStrength;",
          "entry.emissiveFactor[c] = glow[c];"),
    fault("gltf-attachment-at-origin", GLTF, "    if (mesh.bones.empty()) {\n        return -1;",
          "    if (true) {\n        return -1;"),
    fault("obj-mtl-names-with-spaces", GLTF,
          "const std::string stem = OneWord(objName.substr(0, objName.size() - 4));",
          "const std::string stem = objName.substr(0, objName.size() - 4);",
          ("objName = PakMgr::SafeFileName(OneWord(source), cuts, source);",
           "objName = PakMgr::SafeFileName(source, cuts, source);")),
    fault("obj-mtl-names-claimed-as-one-word", OBJ,
          "objName = PakMgr::SafeFileName(OneWord(source), cuts, source);",
          "objName = PakMgr::SafeFileName(source, cuts, source);\n"
          "        objName = OneWord(objName);"),
    fault("obj-png-claimed-by-name", OBJ, "PakMgr::NodePath(texture, '/') + kAsPng)};",
          "name + kAsPng)};"),
    fault("gltf-each-images-unclaimed", GLTF, ".imageFiles = &planned.images};",
          ".imageFiles = nullptr};"),
    fault("gltf-missing-glow-white", GLTF,
          "const Vec3 glow = Emission(material, entry.emissiveImage >= 0);",
          "const Vec3 glow = Emission(material, !material.emissiveTexName.empty());"),
    fault("obj-missing-glow-white", OBJ + GLTF,
          "const Vec3 glow = Emission(*material, !glowPng.name.empty());",
          "const Vec3 glow = Emission(*material, !material->emissiveTexName.empty());"),
    fault("obj-textures-below-picked-node", OBJ,
          "PakMgr::ITreeNode* skinNode = m_skins[slot].node ? m_skins[slot].node : node;",
          "PakMgr::ITreeNode* skinNode = node;"),
    fault("obj-mtl-attachment-left-out", GLTF,
          "const std::size_t last = materials ? kAttachment : kLastPart;",
          "const std::size_t last = kLastPart;"),

    # DDS and textures
    fault("dds-dxt1-three-colour", DDS, "if (!kThreeColourAllowed || c0 > c1) {",
          "if (!kThreeColourAllowed || c0 >= c1) {"),
    fault("dds-dxt3-alpha-scale", DDS, "static_cast<uint32_t>((alphas >> (4 * i)) & 15) * 17;",
          "static_cast<uint32_t>((alphas >> (4 * i)) & 15) * 16;"),
    fault("dds-rgb-alpha", DDS, "        rgba[4 * i + 3] = 255;", "        rgba[4 * i + 3] = 0;"),
    fault("dds-decoded-bytes-cap", DDS, "    if (bytes > kMaxDecodedBytes) {", "    if (false) {"),

    # drawing, font, render view
    fault("draw-alpha-test", VIEW, "    glEnable(GL_ALPHA_TEST);\n", ""),
    fault("draw-texture-left-bound", VIEW,
          "        } else {\n            glDisable(GL_TEXTURE_2D);\n            glPushAttrib(GL_POLYGON_BIT);",
          "        } else {\n            glPushAttrib(GL_POLYGON_BIT);"),
    fault("font-widest-cell", VIEW,
          "const float cellAdvance = ZeroAdvance(face.get(), embolden).value_or(widest);",
          "const float cellAdvance = widest;\n    (void)&ZeroAdvance;"),
    fault("font-preferred-face", VIEW,
          "std::optional<FontFile> found = FaceOfFamily(config.get(), family);",
          "std::optional<FontFile> found;"),
    fault("font-control-glyphs", VIEW,
          "code < kFirstPrintable || (code >= kFirstControl && code <= kLastControl);",
          "code < kFirstPrintable;"),
    fault("view-wheel-direction", VIEW,
          "            if (Signed16(event.wheelDelta) > 0) {\n                m_fZoom += kWheelZoomStep;",
          "            if (Signed16(event.wheelDelta) < 0) {\n                m_fZoom += kWheelZoomStep;"),
    fault("view-key-turn", VIEW, "        case Key::Up:\n            m_nRotX = Turn(m_nRotX, -kKeyTurnStep);",
          "        case Key::Up:\n            m_nRotX = Turn(m_nRotX, kKeyTurnStep);"),

    # frame export
    fault("bmp-height-sign", FRAMES,
          "Put32(infoHeader + 8, static_cast<uint32_t>(-static_cast<int64_t>(image.height)));",
          "Put32(infoHeader + 8, static_cast<uint32_t>(image.height));"),
    fault("bmp-file-size", FRAMES,
          "Put32(fileHeader + 2, image.byteCount + static_cast<uint32_t>(kBmpHeaderSize));",
          "Put32(fileHeader + 2, image.byteCount);"),
    fault("frames-last-frame-skipped", FRAMES, "        if (frame == m_playback.lastFrame) {\n            break;\n        }\n        const float next",
          "        if (frame + 1 >= m_playback.lastFrame) {\n            break;\n        }\n        const float next"),

    # vell
    fault("cli-usage-exit-code", CLI, "enum ExitCode : int { kOk = 0, kFailed = 1, kUsage = 2 };",
          "enum ExitCode : int { kOk = 0, kFailed = 1, kUsage = 1 };"),
    fault("cli-extract-failure-status", CLI, "return failed.empty() ? kOk : kFailed;", "return kOk;"),
    fault("cli-frames-size-bound", CLI, "size.height < 1 || size.width > maxSide || size.height > maxSide) {",
          "size.height < 1 || size.width > maxSide) {",
          ("size.height < 1 || size.width > kMaxSide || size.height > kMaxSide) {",
           "size.height < 1 || size.width > kMaxSide) {")),
    # two archive paths of one last name claimed as one source: the second overwrites the first
    fault("cli-extract-claims-by-last-name", CLI,
          "PakMgr::SafeFileName(node->Name(), names, PakMgr::NodePath(node, '\\\\'))",
          "PakMgr::SafeFileName(node->Name(), &names)"),
    fault("cli-frame-past-the-last", CLI, "if (frame > static_cast<float>(lastFrame)) {",
          "if (frame > static_cast<float>(lastFrame) + 1) {"),

    # desktop program
    fault("app-key-left-right", APP,
          "ViewKeyInfo{Qt::Key_Left, Key::Left,", "ViewKeyInfo{Qt::Key_Left, Key::Right,"),
    fault("app-exit-mnemonic", APP, '"退出(&x)"', '"退出"'),
    fault("app-menu-mnemonic", APP, 'm_viewMenu->setTitle(tr("视图(&V)"));',
          'm_viewMenu->setTitle(tr("视图"));'),
    fault("app-tree-context-menu", APP,
          "    connect(m_tree, &QWidget::customContextMenuRequested, this, &CTreePane::OnContextMenu);\n",
          ""),
    fault("app-view-file-hidden", APP, "enable(Cmd::kViewFile, true, true);",
          "enable(Cmd::kViewFile, true, false);"),
    fault("app-compare-not-in-menu", APP, "    file->addAction(Action(Cmd::kFileCompare));\n", ""),
    fault("app-drop-opens-nothing", APP, "    event->acceptProposedAction();\n    OpenGameFolder(folder);",
          "    event->acceptProposedAction();"),
    fault("app-textures-kept-after-close", APP,
          "    // What the picture no longer uses goes now, not at the next load.\n"
          "    m_textures.DeleteReleased();\n", ""),
    fault("app-crash-question-says-yes", APP,
          "return answer == MsgAnswer::Yes ? kPromptAnswerYes : kPromptAnswerNo;",
          "return answer == MsgAnswer::Yes ? kPromptAnswerYes : kPromptAnswerYes;"),
    fault("app-language-follows-locale", APP,
          "return LanguageFromCode(QSettings().value(QLatin1String(kLanguageKey)).toString());",
          "return LanguageFromCode(QSettings().value(QLatin1String(kLanguageKey),\n"
          "        qEnvironmentVariable(\"LANG\").startsWith(QLatin1String(\"en\")) ||\n"
          "        qEnvironmentVariable(\"LC_ALL\").startsWith(QLatin1String(\"en\"))\n"
          "            ? QString::fromLatin1(kEnglishCode) : QString()).toString());"),
    fault("app-compare-on-window-thread", APP,
          "    m_pane->RunJob(std::move(job), [this, compare, folder](const FolderJobResult& done) {",
          "    for (std::size_t part = 0; part < compare->Parts(); ++part) compare->Run(part);\n"
          "    ShowComparison(compare->Result(), folder);\n"
          "    m_pane->RunJob(std::move(job), [this, compare, folder](const FolderJobResult& done) {"),
    fault("app-probe-32k", APP, "inline constexpr std::size_t kTextProbe = 64u << 10;",
          "inline constexpr std::size_t kTextProbe = 32u << 10;"),
    fault("app-timeline-icon-per-frame", APP,
          "        const QIcon& icon = state.paused ? m_playIcon : m_pauseIcon;\n"
          "        if (m_play->icon().cacheKey() != icon.cacheKey()) {\n"
          "            m_play->setIcon(icon);\n"
          "        }",
          "        m_play->setIcon(\n"
          "            style()->standardIcon(state.paused ? QStyle::SP_MediaPlay : QStyle::SP_MediaPause));"),
    fault("app-extra-argument-opens", APP, "    if (UsageIsWrong(argc, argv)) {",
          "    if (UsageIsWrong(argc, argv) && argc < 0) {"),
    # pictures and moving pictures
    fault("picture-premultiplied-alpha", VIEW,
          "        Unblend(image.rgba, Draw(context, core, kWhite));", ""),
    fault("picture-rows-bottom-first", VIEW,
          "    FlipRows(image.rgba, image.width, image.height);", ""),
    fault("media-video-last-picture-cut", MEDIA,
          "        if (m_packet->duration == 0) {", "        if (false) {"),
    fault("render-turntable-once-too-far", CLI,
          "kFullTurn * static_cast<float>(i) / static_cast<float>(pictures);",
          "kFullTurn * static_cast<float>(i) / static_cast<float>(pictures - 1);"),
    fault("app-fbx-offered-without-blender", APP,
          "loaded && !Export::FindBlender().empty() && !Export::FindFbxScript().empty();",
          "loaded;"),
    # blender: the add-on's settings module and the FBX script
    fault("blender-numpy-unfixed", BLENDER, "            numpy.bool = bool", "            pass"),
    fault("blender-scene-at-24-fps", BLENDER, "    scene.render.fps = FRAMES_PER_SECOND",
          "    scene.render.fps = 24"),
    fault("blender-actions-unnamed", BLENDER, "                strip.action.name = track.name",
          "                pass"),
    fault("blender-fbx-images-without-names", BLENDER,
          "        if image.packed_file is not None and not image.filepath_raw:",
          "        if False:"),
    # import: the base kept wherever the glTF didn't change it
    fault("import-drops-the-parameters", IMPORT,
          "        Model::MaterialDesc material = materials[m];",
          "        Model::MaterialDesc material{.header = materials[m].header};"),
    fault("import-rounds-a-kept-position", IMPORT,
          "        out.positions.push_back(keep ? old.positions[b] : in.positions[g]);",
          "        out.positions.push_back(in.positions[g]);"),
    fault("import-moves-what-stayed", IMPORT,
          "            if (!agree.position && v < out.positions.size()) {",
          "            if (v < out.positions.size()) {"),
    fault("import-no-tolerance", IMPORT,
          "inline constexpr float kLengthShare = 1e-5f;", "inline constexpr float kLengthShare = 0;"),
    fault("import-winding-kept", IMPORT,
          "            out.insert(out.end(), {corners[t], corners[t + 2], corners[t + 1]});",
          "            out.insert(out.end(), {corners[t], corners[t + 1], corners[t + 2]});"),
    fault("import-accessor-unchecked", IMPORT,
          "        if (a.count > view.byteLength || last > view.byteLength) {",
          "        if (false) {"),
    # finding files, the texture preview, the window's place, the gallery
    fault("app-filter-wildcard-takes-a-byte", APP,
          "            ++p;\n            t += CharLength(text, t);",
          "            ++p;\n            ++t;"),
    fault("app-folders-of-marked-files-unmarked", APP,
          "m_marks.emplace(p, Mark::Changed).second", "false"),
    fault("app-new-game-keeps-the-model", APP, "    PutModelAway();\n    m_pakMgr->Clear();",
          "    m_pakMgr->Clear();"),
    fault("app-preview-red-shows-green", APP, "channel == Channel::Red     ? 0",
          "channel == Channel::Red     ? 1"),
    fault("app-file-viewer-keeps-escape", APP,
          "connect(escape, &QShortcut::activated, this, &QWidget::close);", "(void)escape;"),
    fault("app-thumbnail-key-without-textures", APP,
          "nodes.push_back(folder ? folder->FindNode(*name) : nullptr);", "(void)name;"),
    fault("app-gallery-cancel-ignored", APP,
          "            m_job->Cancel();\n            m_cancelled = true;",
          "            m_cancelled = true;"),
]

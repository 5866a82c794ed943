<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>App::BonePicker</name>
    <message>
        <source>无</source>
        <translation>none</translation>
    </message>
    <message>
        <source>骨骼 %1, 父骨骼 %2</source>
        <translation>Bone %1, parent %2</translation>
    </message>
</context>
<context>
    <name>App::CAboutDlg</name>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>Vell 角色模型查看与转换工具</source>
        <translation>Viewer and converter of Vell&apos;s character models</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>App::CAnimationBar</name>
    <message>
        <source>默认   </source>
        <translation>Default   </translation>
    </message>
</context>
<context>
    <name>App::CFileViewer</name>
    <message numerus="yes">
        <source>共 %1 字节</source>
        <translation>
            <numerusform>%1 byte</numerusform>
            <numerusform>%1 bytes</numerusform>
        </translation>
    </message>
    <message>
        <source>显示前 %1 字节, 共 %2 字节</source>
        <translation>the first %1 bytes of %2 shown</translation>
    </message>
    <message>
        <source>查看 - %1</source>
        <translation>View - %1</translation>
    </message>
    <message>
        <source>文本</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>十六进制</source>
        <translation>Hex</translation>
    </message>
    <message>
        <source>查找 (Ctrl+F)</source>
        <translation>Find (Ctrl+F)</translation>
    </message>
    <message>
        <source>查找下一个</source>
        <translation>Find Next</translation>
    </message>
    <message>
        <source>找不到“%1”</source>
        <translation>“%1” not found</translation>
    </message>
    <message>
        <source>无法读取文件 %1</source>
        <translation>Can&apos;t read the file %1</translation>
    </message>
</context>
<context>
    <name>App::CGallery</name>
    <message>
        <source>缩略图</source>
        <translation>Thumbnails</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>缩略图 - %1</source>
        <translation>Thumbnails - %1</translation>
    </message>
    <message>
        <source>%1
无法加载: %2</source>
        <translation>%1
can&apos;t be loaded: %2</translation>
    </message>
    <message>
        <source>没有模型</source>
        <translation>No models</translation>
    </message>
    <message>
        <source>已取消: %1/%2</source>
        <translation>Cancelled: %1/%2</translation>
    </message>
    <message numerus="yes">
        <source>%n 个模型</source>
        <translation>
            <numerusform>%n model</numerusform>
            <numerusform>%n models</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>App::CHelpDlg</name>
    <message>
        <source>快捷键</source>
        <translation>Keys</translation>
    </message>
    <message>
        <source>按键或鼠标</source>
        <translation>Key or mouse</translation>
    </message>
    <message>
        <source>作用</source>
        <translation>Effect</translation>
    </message>
</context>
<context>
    <name>App::CInfoPanel</name>
    <message>
        <source>零件</source>
        <translation>Parts</translation>
    </message>
    <message>
        <source>纹理</source>
        <translation>Textures</translation>
    </message>
    <message>
        <source>骨骼</source>
        <translation>Bones</translation>
    </message>
    <message>
        <source>动画</source>
        <translation>Animations</translation>
    </message>
    <message>
        <source>尺寸</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>未加载</source>
        <translation>not loaded</translation>
    </message>
    <message>
        <source>模型信息</source>
        <translation>Model Info</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>值</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>最后一帧 %1</source>
        <translation>last frame %1</translation>
    </message>
    <message>
        <source>单位</source>
        <translation>units</translation>
    </message>
    <message>
        <source>米</source>
        <translation>metres</translation>
    </message>
    <message numerus="yes">
        <source>%n 顶点</source>
        <translation>
            <numerusform>%n vertex</numerusform>
            <numerusform>%n vertices</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n 三角形</source>
        <translation>
            <numerusform>%n triangle</numerusform>
            <numerusform>%n triangles</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>App::CPackDlg</name>
    <message>
        <source>打包补丁</source>
        <translation>Pack a mod</translation>
    </message>
    <message>
        <source>把 %1 中的 %2 个文件打包到游戏目录:</source>
        <translation>Pack the %2 files of %1 into the game folder:</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>结果</source>
        <translation>Result</translation>
    </message>
    <message>
        <source>包</source>
        <translation>Archive</translation>
    </message>
    <message>
        <source>打包</source>
        <translation>Pack</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>覆盖</source>
        <translation>Overrides</translation>
    </message>
    <message>
        <source>新增</source>
        <translation>New</translation>
    </message>
    <message>
        <source>输给</source>
        <translation>Loses to</translation>
    </message>
    <message>
        <source>%1 个覆盖, %2 个新增, %3 个输给先读的包</source>
        <translation>%1 overriding, %2 new, %3 losing to archives read first</translation>
    </message>
    <message>
        <source>改名为 %1 可胜出</source>
        <translation>Named %1 it would win</translation>
    </message>
    <message>
        <source>%1 是游戏自己的包, 不能覆盖</source>
        <translation>%1 is one of the game&apos;s own archives and can&apos;t be replaced</translation>
    </message>
</context>
<context>
    <name>App::CPictureDlg</name>
    <message>
        <source> 像素</source>
        <translation> pixels</translation>
    </message>
    <message>
        <source>保存截图</source>
        <translation>Save Screenshot</translation>
    </message>
    <message>
        <source>透明背景(&amp;R)</source>
        <translation>T&amp;ransparent background</translation>
    </message>
    <message>
        <source>宽度(&amp;W):</source>
        <translation>&amp;Width:</translation>
    </message>
    <message>
        <source>高度(&amp;E):</source>
        <translation>H&amp;eight:</translation>
    </message>
</context>
<context>
    <name>App::CStatusLine</name>
    <message>
        <source>准备</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>App::CTexturePreview</name>
    <message>
        <source>适合</source>
        <translation>Fit</translation>
    </message>
    <message>
        <source>缩放到窗口大小</source>
        <translation>Zoom to the window&apos;s size</translation>
    </message>
    <message>
        <source>每个纹素一个像素</source>
        <translation>One pixel a texel</translation>
    </message>
    <message>
        <source>颜色</source>
        <translation>Colour</translation>
    </message>
    <message>
        <source>仅Alpha</source>
        <translation>Alpha only</translation>
    </message>
    <message>
        <source>另存为PNG</source>
        <translation>Save as PNG</translation>
    </message>
</context>
<context>
    <name>App::CTimeline</name>
    <message>
        <source>播放/暂停 (Space)</source>
        <translation>Play/Pause (Space)</translation>
    </message>
    <message>
        <source>上一帧 (,)</source>
        <translation>Previous frame (,)</translation>
    </message>
    <message>
        <source>下一帧 (.)</source>
        <translation>Next frame (.)</translation>
    </message>
</context>
<context>
    <name>App::CTreeModel</name>
    <message>
        <source>来自 %1</source>
        <translation>From %1</translation>
    </message>
    <message>
        <source>
比较: 新增</source>
        <translation>
Compared: added</translation>
    </message>
    <message>
        <source>
比较: 已更改</source>
        <translation>
Compared: changed</translation>
    </message>
    <message numerus="yes">
        <source>, 覆盖 %n 个副本</source>
        <translation>
            <numerusform>, overriding %n copy</numerusform>
            <numerusform>, overriding %n copies</numerusform>
        </translation>
    </message>
    <message>
        <source>比较: 含有变更的文件</source>
        <translation>Compared: holds changed files</translation>
    </message>
</context>
<context>
    <name>App::CTreePane</name>
    <message>
        <source>%1 导出已完成.</source>
        <translation>%1 exported.</translation>
    </message>
    <message>
        <source>已转换为工程文件 .</source>
        <translation>Converted to OBJ files.</translation>
    </message>
    <message>
        <source>已转换为glTF文件 .</source>
        <translation>Converted to glTF.</translation>
    </message>
    <message>
        <source>文件列表 </source>
        <translation>Files </translation>
    </message>
    <message>
        <source>查找文件</source>
        <translation>Find files</translation>
    </message>
    <message>
        <source>一个文件夹的导出正在进行, 请等它完成或取消.</source>
        <translation>A folder is being exported; wait for it to finish or cancel it.</translation>
    </message>
    <message>
        <source>仅覆盖</source>
        <translation>Overrides only</translation>
    </message>
    <message>
        <source>只显示覆盖了其他包中副本的文件</source>
        <translation>Show only the files that override copies in other archives</translation>
    </message>
    <message>
        <source>
%1 个已改名 (名称已被占用):</source>
        <translation>
%1 renamed (the name was taken):</translation>
    </message>
    <message>
        <source>来源</source>
        <translation>Sources</translation>
    </message>
    <message>
        <source>包</source>
        <translation>Archive</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>压缩大小</source>
        <translation>Stored size</translation>
    </message>
    <message>
        <source>偏移</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>序号</source>
        <translation>Entry</translation>
    </message>
    <message>
        <source>已转换为FBX文件 .</source>
        <translation>Converted to FBX.</translation>
    </message>
    <message>
        <source>仅变更</source>
        <translation>Changed only</translation>
    </message>
    <message>
        <source>只显示比较标出的新增和已更改的文件</source>
        <translation>Show only the files the comparison marked added or changed</translation>
    </message>
    <message>
        <source>没有相符的文件</source>
        <translation>No files match</translation>
    </message>
</context>
<context>
    <name>App::CVellModelBrowserMainFrame</name>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>最近打开</source>
        <translation>Recent Folders</translation>
    </message>
    <message>
        <source>设置(&amp;S)</source>
        <translation>S&amp;ettings</translation>
    </message>
    <message>
        <source>渲染模式(&amp;R)</source>
        <translation>&amp;Render Mode</translation>
    </message>
    <message>
        <source>语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>视图(&amp;V)</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>确定要退出吗？     </source>
        <translation>Do you really want to quit?     </translation>
    </message>
    <message>
        <source>Vell 模型浏览器</source>
        <translation>Vell Model Browser </translation>
    </message>
    <message>
        <source>%1 已不存在.</source>
        <translation>%1 no longer exists.</translation>
    </message>
    <message>
        <source>请先打开游戏目录.</source>
        <translation>Open a game folder first.</translation>
    </message>
    <message>
        <source>与 %1 比较: %2 个新增, %3 个已更改, %4 个已删除</source>
        <translation>Compared with %1: %2 added, %3 changed, %4 removed</translation>
    </message>
    <message>
        <source>已删除的文件</source>
        <translation>Removed Files</translation>
    </message>
    <message>
        <source>%1 中有而当前目录中没有的文件:</source>
        <translation>Files that %1 holds and this folder does not:</translation>
    </message>
    <message>
        <source>%1: %2, %3, %4</source>
        <translation>%1: %2, %3, %4</translation>
    </message>
    <message numerus="yes">
        <source>%n 顶点</source>
        <translation>
            <numerusform>%n vertex</numerusform>
            <numerusform>%n vertices</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n 三角形</source>
        <translation>
            <numerusform>%n triangle</numerusform>
            <numerusform>%n triangles</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n 骨骼</source>
        <translation>
            <numerusform>%n bone</numerusform>
            <numerusform>%n bones</numerusform>
        </translation>
    </message>
    <message>
        <source>这些档案无法读取, 已跳过:
%1</source>
        <translation>These archives can&apos;t be read and were skipped:
%1</translation>
    </message>
    <message>
        <source>不能打包:</source>
        <translation>Can&apos;t pack:</translation>
    </message>
    <message>
        <source>正在打包 %1...</source>
        <translation>Packing %1...</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>胜出</source>
        <translation>Wins</translation>
    </message>
    <message>
        <source>输给 %1</source>
        <translation>Loses to %1</translation>
    </message>
    <message>
        <source>补丁列表</source>
        <translation>Mods</translation>
    </message>
    <message>
        <source>%1 个包覆盖其他包的文件, %2 个文件有冲突</source>
        <translation>%1 archives override files of others, %2 files in conflict</translation>
    </message>
    <message>
        <source>包</source>
        <translation>Archive</translation>
    </message>
    <message>
        <source>文件</source>
        <translation>File</translation>
    </message>
    <message>
        <source>覆盖</source>
        <translation>Overrides</translation>
    </message>
    <message>
        <source>冲突</source>
        <translation>Conflict</translation>
    </message>
    <message>
        <source>比较已取消.</source>
        <translation>Comparison cancelled.</translation>
    </message>
    <message>
        <source>图片已复制</source>
        <translation>Picture copied</translation>
    </message>
    <message>
        <source>请先选择要导出的动画</source>
        <translation>Choose the animation to export first</translation>
    </message>
    <message>
        <source>动画 (*.gif *.webp *.mp4 *.webm)</source>
        <translation>Animations (*.gif *.webp *.mp4 *.webm)</translation>
    </message>
    <message>
        <source>动画文件的名字以 .gif, .webp, .mp4 或 .webm 结尾</source>
        <translation>An animation&apos;s file name ends in .gif, .webp, .mp4 or .webm</translation>
    </message>
    <message>
        <source>正在导出动画...</source>
        <translation>Exporting the animation...</translation>
    </message>
    <message>
        <source>导出已取消</source>
        <translation>Export cancelled</translation>
    </message>
    <message>
        <source>没有改变: glTF 与游戏里的模型相同.</source>
        <translation>Nothing changed: the glTF is the game&apos;s model.</translation>
    </message>
    <message>
        <source>限制: %1</source>
        <translation>Limit: %1</translation>
    </message>
    <message>
        <source>已写入 %1:</source>
        <translation>Written into %1:</translation>
    </message>
    <message>
        <source>打包补丁?</source>
        <translation>Pack them as a mod?</translation>
    </message>
    <message>
        <source>导入glTF</source>
        <translation>Import glTF</translation>
    </message>
    <message>
        <source>%1 - %2</source>
        <translation>%1 - %2</translation>
    </message>
    <message>
        <source>已打开 %1, %2</source>
        <translation>Opened %1, %2</translation>
    </message>
    <message numerus="yes">
        <source>%n 个档案</source>
        <translation>
            <numerusform>%n archive</numerusform>
            <numerusform>%n archives</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n 个文件</source>
        <translation>
            <numerusform>%n file</numerusform>
            <numerusform>%n files</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>App::Commands</name>
    <message>
        <source>打开(&amp;O)...</source>
        <translation>&amp;Open...</translation>
    </message>
    <message>
        <source>Open an existing document
打开</source>
        <translation>Open an existing document
Open</translation>
    </message>
    <message>
        <source>关闭(&amp;C)</source>
        <translation>Clos&amp;e</translation>
    </message>
    <message>
        <source>Close the active document
关闭</source>
        <translation>Close the active document
Close</translation>
    </message>
    <message>
        <source>退出(&amp;x)</source>
        <translation>&amp;Quit</translation>
    </message>
    <message>
        <source>Quit the application
Exit</source>
        <translation>Quit the application
Exit</translation>
    </message>
    <message>
        <source>背景颜色(&amp;B)...</source>
        <translation>Back&amp;ground Colour...</translation>
    </message>
    <message>
        <source>改变背景色
改变背景色</source>
        <translation>Change the background colour
Change the background colour</translation>
    </message>
    <message>
        <source>模型颜色(&amp;M)...</source>
        <translation>Mo&amp;del Colour...</translation>
    </message>
    <message>
        <source>改变模型颜色
改变模型颜色</source>
        <translation>Change the model colour
Change the model colour</translation>
    </message>
    <message>
        <source>点(&amp;P)</source>
        <translation>&amp;Points</translation>
    </message>
    <message>
        <source>点渲染模式
点渲染模式</source>
        <translation>Point render mode
Point render mode</translation>
    </message>
    <message>
        <source>线(&amp;L)</source>
        <translation>L&amp;ines</translation>
    </message>
    <message>
        <source>面(&amp;F)</source>
        <translation>&amp;Faces</translation>
    </message>
    <message>
        <source>填充渲染模式
填充渲染模式</source>
        <translation>Fill render mode
Fill render mode</translation>
    </message>
    <message>
        <source>显示坐标原点(&amp;C)</source>
        <translation>Sho&amp;w Axes</translation>
    </message>
    <message>
        <source>显示/隐藏坐标轴
显示/隐藏坐标轴</source>
        <translation>Show or hide the axes
Show or hide the axes</translation>
    </message>
    <message>
        <source>显示骨骼(&amp;k)</source>
        <translation>Show Skeleto&amp;n</translation>
    </message>
    <message>
        <source>显示/隐藏骨骼
骨骼</source>
        <translation>Show or hide the skeleton
Skeleton</translation>
    </message>
    <message>
        <source>版本检查</source>
        <translation>Version Check</translation>
    </message>
    <message>
        <source>工具栏(&amp;T)</source>
        <translation>T&amp;ool Bar</translation>
    </message>
    <message>
        <source>显示/隐藏工具条
工具条</source>
        <translation>Show or hide the tool bar
Tool bar</translation>
    </message>
    <message>
        <source>状态栏(&amp;S)</source>
        <translation>Stat&amp;us Bar</translation>
    </message>
    <message>
        <source>显示/隐藏状态条
状态条</source>
        <translation>Show or hide the status bar
Status bar</translation>
    </message>
    <message>
        <source>目录树(&amp;T)</source>
        <translation>&amp;Directory Tree</translation>
    </message>
    <message>
        <source>显示/隐藏目录树
目录树开关</source>
        <translation>Show or hide the directory tree
Directory tree</translation>
    </message>
    <message>
        <source>关于(&amp;A)...</source>
        <translation>Ab&amp;out...</translation>
    </message>
    <message>
        <source>Display program information, version number and copyright
About</source>
        <translation>Display program information, version number and copyright
About</translation>
    </message>
    <message>
        <source>保存MDX文件列表
保存MDX文件列表</source>
        <translation>Save the list of files
Save the list of files</translation>
    </message>
    <message>
        <source>自动动画速度
自动速度</source>
        <translation>Throttle the frame rate
Throttle</translation>
    </message>
    <message>
        <source>渲染贴图
渲染贴图</source>
        <translation>Render textures
Render textures</translation>
    </message>
    <message>
        <source>零件显示</source>
        <translation>Parts</translation>
    </message>
    <message>
        <source>渲染模型</source>
        <translation>Render Model</translation>
    </message>
    <message>
        <source>显示动画</source>
        <translation>Show Animation</translation>
    </message>
    <message>
        <source>导出动画帧...</source>
        <translation>Export Animation Frames...</translation>
    </message>
    <message>
        <source>导出文件(&amp;E)</source>
        <translation>&amp;Export File</translation>
    </message>
    <message>
        <source>转换为Obj文件(&amp;C)</source>
        <translation>Convert to &amp;OBJ</translation>
    </message>
    <message>
        <source>转换为Obj文件(带材质)</source>
        <translation>Convert to OBJ with Materials</translation>
    </message>
    <message>
        <source>转换为glTF文件</source>
        <translation>Convert to glTF</translation>
    </message>
    <message>
        <source>加载为挂件</source>
        <translation>Load as Attachment</translation>
    </message>
    <message>
        <source>保存截图...</source>
        <translation>Save Screenshot...</translation>
    </message>
    <message>
        <source>把视图保存为PNG图片
保存截图</source>
        <translation>Save the view as a PNG picture
Save screenshot</translation>
    </message>
    <message>
        <source>预览纹理</source>
        <translation>Preview Texture</translation>
    </message>
    <message>
        <source>点渲染模式
点渲染模式</source>
        <comment>line mode</comment>
        <translation>Line render mode
Line render mode</translation>
    </message>
    <message>
        <source>光照</source>
        <translation>Lighting</translation>
    </message>
    <message>
        <source>用来自镜头的光照亮模型
光照</source>
        <translation>Light the model from the camera
Lighting</translation>
    </message>
    <message>
        <source>地面网格</source>
        <translation>Ground Grid</translation>
    </message>
    <message>
        <source>在模型脚下显示每米一格的地面网格
地面网格</source>
        <translation>Show a ground grid of one square per metre under the model
Ground grid</translation>
    </message>
    <message>
        <source>骨骼置前</source>
        <translation>Bones on Top</translation>
    </message>
    <message>
        <source>把骨骼画在模型前面; 单击关节选中骨骼
骨骼置前</source>
        <translation>Draw the skeleton in front of the model; click a joint to select its bone
Bones on top</translation>
    </message>
    <message>
        <source>模型信息</source>
        <translation>Model Info</translation>
    </message>
    <message>
        <source>显示/隐藏模型信息面板
模型信息</source>
        <translation>Show or hide the model information panel
Model info</translation>
    </message>
    <message>
        <source>查看</source>
        <translation>View</translation>
    </message>
    <message>
        <source>在只读窗口中查看文件的文本或十六进制内容
查看</source>
        <translation>Show the file&apos;s text or hex dump in a read-only window
View</translation>
    </message>
    <message>
        <source>快捷键(&amp;K)</source>
        <translation>Ke&amp;ys</translation>
    </message>
    <message>
        <source>列出所有按键和鼠标操作
快捷键</source>
        <translation>List every key and mouse action
Keys</translation>
    </message>
    <message>
        <source>来源</source>
        <translation>Sources</translation>
    </message>
    <message>
        <source>列出包含此文件的所有包
来源</source>
        <translation>List every archive that holds this file
Sources</translation>
    </message>
    <message>
        <source>比较(&amp;D)...</source>
        <translation>Com&amp;pare...</translation>
    </message>
    <message>
        <source>与另一个游戏目录比较, 标出新增和更改的文件
比较</source>
        <translation>Compare with another game folder, marking added and changed files
Compare</translation>
    </message>
    <message>
        <source>打包补丁(&amp;P)...</source>
        <translation>Pack a mo&amp;d...</translation>
    </message>
    <message>
        <source>把一个文件夹打包成游戏先读的补丁包
打包补丁</source>
        <translation>Pack a folder into a mod archive that the game reads first
Pack a mod</translation>
    </message>
    <message>
        <source>补丁列表(&amp;I)...</source>
        <translation>Mod l&amp;ist...</translation>
    </message>
    <message>
        <source>列出覆盖其他包的包和它们的冲突
补丁列表</source>
        <translation>List the archives that override others and their conflicts
Mods</translation>
    </message>
    <message>
        <source>复制图片</source>
        <translation>Copy Picture</translation>
    </message>
    <message>
        <source>把视图复制到剪贴板
复制图片</source>
        <translation>Copy the view to the clipboard
Copy picture</translation>
    </message>
    <message>
        <source>导出动画...</source>
        <translation>Export Animation...</translation>
    </message>
    <message>
        <source>把播放中的动画导出为GIF, WebP或视频
导出动画</source>
        <translation>Export the playing animation as GIF, WebP or video
Export animation</translation>
    </message>
    <message>
        <source>转换为FBX文件</source>
        <translation>Convert to FBX</translation>
    </message>
    <message>
        <source>导入glTF...</source>
        <translation>Import glTF...</translation>
    </message>
    <message>
        <source>缩略图(&amp;G)</source>
        <translation>Thumbnail &amp;Gallery</translation>
    </message>
    <message>
        <source>把文件夹里的所有模型显示为缩略图
缩略图</source>
        <translation>Show every model of the folder as a picture
Thumbnail Gallery</translation>
    </message>
</context>
<context>
    <name>App::CrashDump</name>
    <message>
        <source>程序即将崩溃，是否保存dump文件?</source>
        <translation>The program is about to crash. Save a dump file?</translation>
    </message>
    <message>
        <source>未处理异常</source>
        <translation>Unhandled exception</translation>
    </message>
</context>
<context>
    <name>App::Dialogs</name>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>是</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>否</source>
        <translation>No</translation>
    </message>
</context>
<context>
    <name>App::FolderJob</name>
    <message>
        <source>%1 / %2 个文件已完成: %3</source>
        <translation>%1 / %2 files done: %3</translation>
    </message>
    <message>
        <source>
已取消.</source>
        <translation>
Cancelled.</translation>
    </message>
    <message numerus="yes">
        <source>%n 个失败:</source>
        <translation>
            <numerusform>%n failed:</numerusform>
            <numerusform>%n failed:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n 个警告:</source>
        <translation>
            <numerusform>%n warning:</numerusform>
            <numerusform>%n warnings:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n 个已改名 (名称已被占用):</source>
        <translation>
            <numerusform>%n renamed (the name was taken):</numerusform>
            <numerusform>%n renamed (the names were taken):</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ViewKeys</name>
    <message>
        <source>关闭程序 (先询问)</source>
        <translation>Close the program (after asking)</translation>
    </message>
    <message>
        <source>拉近</source>
        <translation>Zoom in</translation>
    </message>
    <message>
        <source>推远</source>
        <translation>Zoom out</translation>
    </message>
    <message>
        <source>绕水平轴转动</source>
        <translation>Turn about the horizontal axis</translation>
    </message>
    <message>
        <source>绕水平轴反向转动</source>
        <translation>Turn back about the horizontal axis</translation>
    </message>
    <message>
        <source>绕视线轴转动</source>
        <translation>Turn about the viewing axis</translation>
    </message>
    <message>
        <source>绕视线轴反向转动</source>
        <translation>Turn back about the viewing axis</translation>
    </message>
    <message>
        <source>向下平移</source>
        <translation>Pan down</translation>
    </message>
    <message>
        <source>向上平移</source>
        <translation>Pan up</translation>
    </message>
    <message>
        <source>重新取景 (转动、平移和缩放复位)</source>
        <translation>Frame the model again (turn, pan and zoom reset)</translation>
    </message>
    <message>
        <source>动画播放/暂停</source>
        <translation>Play/pause the animation</translation>
    </message>
    <message>
        <source>后退一帧</source>
        <translation>One frame back</translation>
    </message>
    <message>
        <source>前进一帧</source>
        <translation>One frame forward</translation>
    </message>
    <message>
        <source>左键拖动</source>
        <translation>Drag with the left button</translation>
    </message>
    <message>
        <source>转动模型</source>
        <translation>Turn the model</translation>
    </message>
    <message>
        <source>右键拖动</source>
        <translation>Drag with the right button</translation>
    </message>
    <message>
        <source>平移视图</source>
        <translation>Pan the view</translation>
    </message>
    <message>
        <source>滚轮</source>
        <translation>Mouse wheel</translation>
    </message>
    <message>
        <source>缩放</source>
        <translation>Zoom</translation>
    </message>
    <message>
        <source>单击关节 (显示骨骼或骨骼置前时)</source>
        <translation>Click a joint (skeleton shown or on top)</translation>
    </message>
    <message>
        <source>选中骨骼</source>
        <translation>Select the bone</translation>
    </message>
</context>
</TS>

<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>vorta::ui::TFAbout</name>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>vorta::ui::TFrmSysInfo</name>
    <message>
        <source>系统信息</source>
        <translation>System Information</translation>
    </message>
    <message>
        <source>操作系统: </source>
        <translation>Operating system: </translation>
    </message>
    <message>
        <source>版本: </source>
        <translation>Version: </translation>
    </message>
    <message>
        <source>CPU个数: </source>
        <translation>Processors: </translation>
    </message>
    <message>
        <source>主频: </source>
        <translation>Clock: </translation>
    </message>
    <message>
        <source>内存信息</source>
        <translation>Memory</translation>
    </message>
    <message>
        <source>物理内存: </source>
        <translation>Physical memory: </translation>
    </message>
    <message>
        <source>可用内存: </source>
        <translation>Available memory: </translation>
    </message>
    <message>
        <source>网络信息</source>
        <translation>Network</translation>
    </message>
    <message>
        <source>网卡</source>
        <translation>Network cards</translation>
    </message>
    <message>
        <source>网络连接: </source>
        <translation>Connections: </translation>
    </message>
</context>
<context>
    <name>vorta::ui::TLineEditFrm</name>
    <message>
        <source>线路信息</source>
        <translation>Line</translation>
    </message>
    <message>
        <source>线路选择</source>
        <translation>Connection</translation>
    </message>
    <message>
        <source>我的拨号连接</source>
        <translation>My dial-up connection</translation>
    </message>
    <message>
        <source>连接类型</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>用户名称</source>
        <translation>User name</translation>
    </message>
    <message>
        <source>用户密码</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>线路组别</source>
        <translation>Group</translation>
    </message>
    <message>
        <source>主组</source>
        <translation>Main</translation>
    </message>
    <message>
        <source>备组</source>
        <translation>Backup</translation>
    </message>
    <message>
        <source>必通线路</source>
        <translation>Must be up</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>请输入用户名，密码信息！</source>
        <translation>Please enter the user name and password!</translation>
    </message>
</context>
<context>
    <name>vorta::ui::TLogModel</name>
    <message>
        <source>标志</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>消息</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>日期/时间</source>
        <translation>Date/Time</translation>
    </message>
</context>
<context>
    <name>vorta::ui::TMainFrm</name>
    <message>
        <source>用户状态</source>
        <translation>Account</translation>
    </message>
    <message>
        <source>高级设置</source>
        <translation>Advanced</translation>
    </message>
    <message>
        <source>域名信息</source>
        <translation>Domains</translation>
    </message>
    <message>
        <source>日志</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>主组</source>
        <translation>Main</translation>
    </message>
    <message>
        <source>备组</source>
        <translation>Backup</translation>
    </message>
    <message>
        <source>是</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>否</source>
        <translation>No</translation>
    </message>
    <message>
        <source>最后一次成功报告：%1</source>
        <translation>Last reported: %1</translation>
    </message>
    <message>
        <source>尚未成功报告</source>
        <translation>Not reported yet</translation>
    </message>
    <message>
        <source>域名列表</source>
        <translation>Domains</translation>
    </message>
    <message>
        <source>本窗口显示的是Vorta服务。要停止Vorta服务吗？
只关闭窗口时，服务继续运行。</source>
        <translation>This window shows the Vorta service. Stop the Vorta service?
If only the window closes, the service keeps running.</translation>
    </message>
    <message>
        <source>停止服务</source>
        <translation>Stop the Service</translation>
    </message>
    <message>
        <source>只关闭窗口</source>
        <translation>Close the Window Only</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>请选择保存的路径和名称</source>
        <translation>Choose where to save the log and its name</translation>
    </message>
    <message>
        <source>文本文档(*.txt)</source>
        <translation>Text files (*.txt)</translation>
    </message>
    <message>
        <source>所有文件(*.*)</source>
        <translation>All files (*.*)</translation>
    </message>
    <message>
        <source>请先选择要操作的线路！</source>
        <translation>Please select a line first!</translation>
    </message>
    <message>
        <source>确定要删除该线路吗?</source>
        <translation>Delete this line?</translation>
    </message>
    <message>
        <source>确定删除日志信息吗?</source>
        <translation>Delete the log entries?</translation>
    </message>
    <message>
        <source>最小化</source>
        <translation>Minimize</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>文件(&amp;F)</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>注销(&amp;U)</source>
        <translation>Log &amp;Off</translation>
    </message>
    <message>
        <source>登录(&amp;L)</source>
        <translation>&amp;Log On</translation>
    </message>
    <message>
        <source>注册(&amp;R)</source>
        <translation>&amp;Register</translation>
    </message>
    <message>
        <source>退出Vorta客户端(&amp;X)</source>
        <translation>E&amp;xit the Vorta Client</translation>
    </message>
    <message>
        <source>服务(&amp;S)</source>
        <translation>&amp;Service</translation>
    </message>
    <message>
        <source>付款须知(&amp;Z)</source>
        <translation>Payment Notes(&amp;Z)</translation>
    </message>
    <message>
        <source>技术支持(&amp;Y)</source>
        <translation>Technical Support(&amp;Y)</translation>
    </message>
    <message>
        <source>域名注册(&amp;X)</source>
        <translation>Domain Registration(&amp;X)</translation>
    </message>
    <message>
        <source>域名转入(&amp;W)</source>
        <translation>Domain Transfer(&amp;W)</translation>
    </message>
    <message>
        <source>技术交流区(&amp;V)</source>
        <translation>Forum(&amp;V)</translation>
    </message>
    <message>
        <source>增值服务(&amp;U)</source>
        <translation>Added Services(&amp;U)</translation>
    </message>
    <message>
        <source>工具(&amp;T)</source>
        <translation>&amp;Tools</translation>
    </message>
    <message>
        <source>版本检查(&amp;C)</source>
        <translation>&amp;Check for Updates</translation>
    </message>
    <message>
        <source>修改密码(&amp;M)</source>
        <translation>Change Password(&amp;M)</translation>
    </message>
    <message>
        <source>密码找回(&amp;Y)</source>
        <translation>Recover Password(&amp;Y)</translation>
    </message>
    <message>
        <source>系统信息...(&amp;S)</source>
        <translation>&amp;System Information...</translation>
    </message>
    <message>
        <source>帮助(&amp;H)</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>帮助主题(&amp;H)</source>
        <translation>&amp;Help Topics</translation>
    </message>
    <message>
        <source>推荐给朋友(&amp;Y)</source>
        <translation>Recommend to a Friend(&amp;Y)</translation>
    </message>
    <message>
        <source>提交建议(&amp;Z)</source>
        <translation>Send a Suggestion(&amp;Z)</translation>
    </message>
    <message>
        <source>关于(&amp;A)...</source>
        <translation>&amp;About...</translation>
    </message>
    <message>
        <source>请输入用户名和密码登录Vorta的服务器,如果尚未申请成为Vorta的用户</source>
        <translation>Enter your user name and password to log on to the Vorta server. If you are not a Vorta user yet,</translation>
    </message>
    <message>
        <source>或是第一次使用客户端请点击注册进行注册为Vorta用户</source>
        <translation>or use the client for the first time, click Register to become one.</translation>
    </message>
    <message>
        <source>用户名：</source>
        <translation>User name:</translation>
    </message>
    <message>
        <source>密  码：</source>
        <translation>Password:</translation>
    </message>
    <message>
        <source>登录</source>
        <translation>Log On</translation>
    </message>
    <message>
        <source>记住密码</source>
        <translation>Remember password</translation>
    </message>
    <message>
        <source>选择记住密码系统将在下次启动的时候自动登录Vorta服务器</source>
        <translation>With the password remembered, the client logs on to the Vorta server by itself at its next start</translation>
    </message>
    <message>
        <source>线路状况</source>
        <translation>Lines</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>State</translation>
    </message>
    <message>
        <source>组别</source>
        <translation>Group</translation>
    </message>
    <message>
        <source>线路名称</source>
        <translation>Line</translation>
    </message>
    <message>
        <source>是否必通</source>
        <translation>Must be up</translation>
    </message>
    <message>
        <source>IP地址</source>
        <translation>IP address</translation>
    </message>
    <message>
        <source>新增</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>修改</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>主/备服务器高级设置</source>
        <translation>Main/backup server</translation>
    </message>
    <message>
        <source>加入网络</source>
        <translation>Join the pair</translation>
    </message>
    <message>
        <source>作为主服务器</source>
        <translation>As the main server</translation>
    </message>
    <message>
        <source>作为备份服务器</source>
        <translation>As the backup server</translation>
    </message>
    <message>
        <source>备份服务器存在LAN内</source>
        <translation>The backup server is in the LAN</translation>
    </message>
    <message>
        <source>允许提交信息到服务器端</source>
        <translation>Allow sending information to the server</translation>
    </message>
    <message>
        <source>为什么要采集并提交我的系统信息？</source>
        <translation>Why collect and send my system information?</translation>
    </message>
    <message>
        <source>查阅NABU&quot;协议&quot;</source>
        <translation>Read the NABU &quot;agreement&quot;</translation>
    </message>
    <message>
        <source>登录nabu管理站点提交或更新域名信息！</source>
        <translation>Log on to the nabu site to add or update domains!</translation>
    </message>
    <message>
        <source>刷新域名信息</source>
        <translation>Refresh Domains</translation>
    </message>
    <message>
        <source>清除日志(&amp;D)</source>
        <translation>&amp;Delete Log</translation>
    </message>
    <message>
        <source>保存日志(&amp;S)</source>
        <translation>&amp;Save Log</translation>
    </message>
    <message>
        <source>显示/隐藏主窗口(&amp;S)</source>
        <translation>&amp;Show/Hide the Window</translation>
    </message>
    <message>
        <source>日        志(&amp;L)</source>
        <translation>&amp;Log</translation>
    </message>
</context>
</TS>

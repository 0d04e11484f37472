#include "json/startup_script.h"

namespace shorturl {

// One line without line breaks; every backslash is one backslash character of
// the script. get__extend's "number" branch calls concat, which objects
// lack: merging onto a number member fails the whole merge, after the
// members met before it were merged. Kept as the system has always had it.
const std::string_view kStartupScript =
    R"js(function get__count(c){var obj=Object.prototype.toString.call(c);if(obj=='[object Array]'){return c.length}else{return 0}})js"
    R"js(function get__name_All(a){var obj=Object.prototype.toString.call(a);if(obj=='[object Object]'){var ary=new Array();for(var key in a){if(typeof a[key]!=='function'){ary.push(key)}}return ary.join('\r\n')}else{return''}})js"
    R"js(function get__extend(target,source){if(Object.prototype.toString.call(target)=='[object Array]'){for(var i=0;i<source.length;i++){target.push(source[i])}return target}else{var str_obj;for(var obj in source){str_obj=typeof target[obj];if(str_obj=='string'||str_obj=='boolean'||str_obj=='undefined'){target[obj]=source[obj]}else if(str_obj=='number'){target=target.concat(source)}else if(str_obj=='object'){target[obj]=get__extend(target[obj],source[obj])}}return target}})js"
    R"js(if(typeof Object.prototype.toJSONString!=='function'){Object.prototype.toJSONString=function(){return JSON.stringify(this)};Object.prototype.parseJSON=function(){return JSON.parse(this)}})js";

}  // namespace shorturl
